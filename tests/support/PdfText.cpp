#include "support/PdfText.h"

#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace telmo::test {
namespace {

// Runs a poppler tool and returns its standard output; sets error when it did not succeed.
QByteArray Run(const QString& program, const QStringList& arguments, QString* error) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(10000)) {
        *error = QStringLiteral("%1 could not be started (scripts/install-deps.sh installs it)").arg(program);
        return {};
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        *error = QStringLiteral("%1 did not finish").arg(program);
        return {};
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        *error = QStringLiteral("%1 %2 failed (%3): %4")
                     .arg(program, arguments.join(QLatin1Char(' ')))
                     .arg(process.exitCode())
                     .arg(QString::fromLocal8Bit(process.readAllStandardError()).trimmed());
        return {};
    }
    return process.readAllStandardOutput();
}

PdfDoc Failed(PdfDoc doc, const QString& error) {
    doc.pages = -1;
    doc.error = error;
    ADD_FAILURE() << "ReadPdf: " << error.toStdString();
    return doc;
}

} // namespace

std::vector<PdfWord> PdfDoc::WordsOn(int page) const {
    std::vector<PdfWord> result;
    for (const PdfWord& word : words)
        if (word.page == page)
            result.push_back(word);
    return result;
}

const PdfWord* PdfDoc::Find(const QString& text, int page) const {
    for (const PdfWord& word : words)
        if (word.text == text && (page == 0 || word.page == page))
            return &word;
    return nullptr;
}

PdfDoc ReadPdf(const QString& path) {
    PdfDoc doc;
    if (!QFileInfo(path).isFile())
        return Failed(std::move(doc), QStringLiteral("no file %1").arg(path));

    // Every PDF a test reads must be sound as a file, before anything is read from it.
    QString error;
    Run(QStringLiteral("qpdf"), {QStringLiteral("--check"), path}, &error);
    if (!error.isEmpty())
        return Failed(std::move(doc), error);
    const QString info = QString::fromUtf8(Run(QStringLiteral("pdfinfo"), {path}, &error));
    if (!error.isEmpty())
        return Failed(std::move(doc), error);
    const QRegularExpressionMatch pages =
        QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)\\s*$"), QRegularExpression::MultilineOption)
            .match(info);
    if (!pages.hasMatch())
        return Failed(std::move(doc), QStringLiteral("pdfinfo printed no page count for %1").arg(path));
    const int pageCount = pages.captured(1).toInt();
    const auto field = [&info](const char* name) {
        return QRegularExpression(QStringLiteral("^%1:\\s+(.*)$").arg(QLatin1String(name)),
                                  QRegularExpression::MultilineOption)
            .match(info)
            .captured(1)
            .trimmed();
    };
    doc.producer = field("Producer");
    doc.title = field("Title");

    const QByteArray xhtml =
        Run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")}, &error);
    if (!error.isEmpty())
        return Failed(std::move(doc), error);
    QXmlStreamReader xml(xhtml);
    int page = 0;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QXmlStreamAttributes attributes = xml.attributes();
        if (xml.name() == QLatin1String("page")) {
            ++page;
            doc.pageSizesPt.emplace_back(attributes.value(QLatin1String("width")).toDouble(),
                                         attributes.value(QLatin1String("height")).toDouble());
        } else if (xml.name() == QLatin1String("word")) {
            PdfWord word;
            word.page = page;
            word.xMin = attributes.value(QLatin1String("xMin")).toDouble();
            word.yMin = attributes.value(QLatin1String("yMin")).toDouble();
            word.xMax = attributes.value(QLatin1String("xMax")).toDouble();
            word.yMax = attributes.value(QLatin1String("yMax")).toDouble();
            word.text = xml.readElementText();
            doc.words.push_back(std::move(word));
        }
    }
    if (xml.hasError())
        return Failed(
            std::move(doc),
            QStringLiteral("pdftotext -bbox output of %1 is not XML: %2").arg(path, xml.errorString()));
    if (page != pageCount)
        return Failed(
            std::move(doc),
            QStringLiteral("pdfinfo counts %1 pages, pdftotext %2 in %3").arg(pageCount).arg(page).arg(path));

    const QString plain = QString::fromUtf8(
        Run(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), path, QStringLiteral("-")}, &error));
    if (!error.isEmpty())
        return Failed(std::move(doc), error);
    // Every page ends with a form feed.
    doc.pageTexts = plain.split(QLatin1Char('\f'));
    while (doc.pageTexts.size() > pageCount)
        doc.pageTexts.removeLast();
    while (doc.pageTexts.size() < pageCount)
        doc.pageTexts.append(QString());

    doc.pages = pageCount;
    if (!doc.pageSizesPt.empty()) {
        doc.pageWidthPt = doc.pageSizesPt.front().width();
        doc.pageHeightPt = doc.pageSizesPt.front().height();
    }
    return doc;
}

namespace {
QString Text(const QString& program, const QStringList& arguments) {
    QString error;
    const QByteArray text = Run(program, arguments, &error);
    if (!error.isEmpty())
        ADD_FAILURE() << error.toStdString();
    return QString::fromUtf8(text);
}
} // namespace

QString MuPdfText(const QString& path) {
    return Text(QStringLiteral("mutool"),
                {QStringLiteral("draw"), QStringLiteral("-q"), QStringLiteral("-F"), QStringLiteral("txt"),
                 QStringLiteral("-o"), QStringLiteral("-"), path});
}

QString RawPdfText(const QString& path) {
    return Text(QStringLiteral("pdftotext"), {QStringLiteral("-raw"), QStringLiteral("-enc"),
                                              QStringLiteral("UTF-8"), path, QStringLiteral("-")});
}

} // namespace telmo::test
