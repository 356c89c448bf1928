#include "support/PdfText.h"

#include "support/CommandRun.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QXmlStreamReader>
#include <gtest/gtest.h>

namespace telmo::test {
namespace {

// Runs a tool and returns its standard output; sets error when it did not succeed.
QByteArray Run(const QString& program, const QStringList& arguments, QString* error) {
    const RunResult r = RunProgram(program, arguments, QProcessEnvironment::systemEnvironment());
    if (r.exitCode != 0)
        *error = QString("%1 %2 failed (%3): %4")
                     .arg(program, arguments.join(' '))
                     .arg(r.exitCode)
                     .arg(r.err.trimmed());
    return error->isEmpty() ? r.out.toUtf8() : QByteArray();
}

QString Text(const QString& program, const QStringList& arguments) {
    QString error;
    const QString text = QString::fromUtf8(Run(program, arguments, &error));
    EXPECT_TRUE(error.isEmpty()) << error.toStdString();
    return text;
}

} // namespace

std::vector<PdfWord> PdfDoc::WordsOn(int page) const {
    std::vector<PdfWord> result;
    std::ranges::copy_if(words, std::back_inserter(result),
                         [page](const PdfWord& w) { return w.page == page; });
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
    // Every PDF a test reads must be sound as a file, before anything is read from it.
    QString error = QFileInfo(path).isFile() ? QString() : "no file " + path;
    if (error.isEmpty())
        Run("qpdf", {"--check", path}, &error);
    const QString info = error.isEmpty() ? QString::fromUtf8(Run("pdfinfo", {path}, &error)) : QString();
    const auto field = [&info](const QString& name) {
        const QRegularExpression line("^" + name + ":\\s+(.*)$", QRegularExpression::MultilineOption);
        return line.match(info).captured(1).trimmed();
    };
    const int pageCount = field("Pages").toInt();
    if (error.isEmpty() && pageCount <= 0)
        error = "pdfinfo printed no page count for " + path;
    doc.producer = field("Producer");
    doc.title = field("Title");
    QXmlStreamReader xml(error.isEmpty() ? Run("pdftotext", {"-bbox", path, "-"}, &error) : QByteArray());
    int page = 0;
    while (error.isEmpty() && !xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const auto at = [a = xml.attributes()](const char* name) { return a.value(name).toDouble(); };
        if (xml.name() == QLatin1String("page")) {
            ++page;
            doc.pageSizesPt.emplace_back(at("width"), at("height"));
        } else if (xml.name() == QLatin1String("word")) {
            doc.words.push_back({page, {}, at("xMin"), at("yMin"), at("xMax"), at("yMax")});
            doc.words.back().text = xml.readElementText();
        }
    }
    if (error.isEmpty() && xml.hasError())
        error = QString("pdftotext -bbox output of %1 is not XML: %2").arg(path, xml.errorString());
    if (error.isEmpty() && page != pageCount)
        error = QString("pdfinfo counts %1 pages, pdftotext %2 in %3").arg(pageCount).arg(page).arg(path);
    // Every page ends with a form feed.
    const QString plain = error.isEmpty()
                              ? QString::fromUtf8(Run("pdftotext", {"-enc", "UTF-8", path, "-"}, &error))
                              : QString();
    if (!error.isEmpty()) {
        ADD_FAILURE() << "ReadPdf: " << error.toStdString();
        doc.error = error;
        return doc;
    }
    doc.pageTexts = plain.split('\f').mid(0, pageCount);
    doc.pageTexts.resize(pageCount);
    doc.pages = pageCount;
    doc.pageWidthPt = doc.pageSizesPt.front().width();
    doc.pageHeightPt = doc.pageSizesPt.front().height();
    return doc;
}

QString MuPdfText(const QString& path) {
    return Text("mutool", {"draw", "-q", "-F", "txt", "-o", "-", path});
}

QString RawPdfText(const QString& path) {
    return Text("pdftotext", {"-raw", "-enc", "UTF-8", path, "-"});
}

} // namespace telmo::test
