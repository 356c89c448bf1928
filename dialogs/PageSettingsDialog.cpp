#include "dialogs/PageSettingsDialog.h"

#include "component/JobState.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <algorithm>

namespace telmo {
namespace {

// The controls keep their designed places but grow to what the desktop's face needs, those
// to the right of a grown one moving along and the rows below a grown row moving down; the
// form grows to hold them all. With the face the form was designed for, nothing moves.
void GrowToFit(QWidget& form, std::initializer_list<std::initializer_list<QWidget*>> rows, QSize designed) {
    int rowTop = 0;
    for (const auto& row : rows) {
        int right = 0, bottom = 0;
        const int shift = std::max(0, rowTop - (*row.begin())->y());
        for (QWidget* control : row) {
            QRect place = control->geometry().translated(0, shift);
            place.setWidth(std::max(place.width(), control->sizeHint().width()));
            place.setHeight(std::max(place.height(), control->sizeHint().height()));
            if (right > 0 && place.left() < right)
                place.moveLeft(right);
            control->setGeometry(place);
            right = place.right() + 1 + 4;
            bottom = std::max(bottom, place.bottom() + 1);
        }
        rowTop = bottom + 4;
    }
    const QRect all = form.childrenRect();
    form.setFixedSize(designed.expandedTo(QSize(all.right() + 1 + 8, all.bottom() + 1 + 8)));
}

} // namespace

PageSettingsDialog::PageSettingsDialog() {
    setWindowTitle(QStringLiteral("Printer Option"));
    setFixedSize(TwipsToPixels(3945), TwipsToPixels(1440));
    chkPageNo = new QCheckBox(QStringLiteral("Page No"), this);
    chkPageNo->setObjectName(QStringLiteral("chkPageNo"));
    PlaceInTwips(*chkPageNo, 50, 160, 975, 375);
    cbPageAlign = new QComboBox(this);
    cbPageAlign->setObjectName(QStringLiteral("cbPageAlign"));
    PlaceInTwips(*cbPageAlign, 1360, 240, 2535, 315);
    const char* captions[] = {"&Ok", "&Cancel"};
    for (int i = 0; i < 2; ++i) {
        cmdOption[i] = new QPushButton(QString::fromLatin1(captions[i]), this);
        cmdOption[i]->setObjectName(QStringLiteral("cmdOption%1").arg(i));
        PlaceInTwips(*cmdOption[i], i == 0 ? 1680 : 2800, 960, 1095, 375);
        connect(cmdOption[i], &QPushButton::clicked, this, [this, i] { cmdOption_Click(i); });
    }
    cmdOption[0]->setDefault(true);
    GrowToFit(*this, {{chkPageNo, cbPageAlign}, {cmdOption[0], cmdOption[1]}}, size());
    connect(chkPageNo, &QCheckBox::stateChanged, this, [this] { chkPageNo_Click(); });
}

void PageSettingsDialog::Form_Load() {
    for (const char* position : {"Top Left", "Top Right", "Bottom Left", "Bottom Right"})
        cbPageAlign->addItem(QString::fromLatin1(position));
    cbPageAlign->setEnabled(false);
    cbPageAlign->setCurrentIndex(0);
    const QString& position = State().PageNoPosition;
    if (!position.isEmpty()) {
        chkPageNo->setChecked(true);
        for (int i = 0; i < cbPageAlign->count(); ++i) {
            if (cbPageAlign->itemText(i) == position) {
                cbPageAlign->setCurrentIndex(i);
                break;
            }
        }
    }
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
    }
    State().RefreshPending = false;
}

void PageSettingsDialog::chkPageNo_Click() {
    cbPageAlign->setEnabled(chkPageNo->isChecked());
}

void PageSettingsDialog::cmdOption_Click(int index) {
    JobState& state = State();
    if (index == 0) {
        state.PageNoPosition = chkPageNo->isChecked() ? cbPageAlign->currentText() : QString();
        state.RefreshPending = true;
        Hide();
    } else if (index == 1) {
        state.RefreshPending = false;
        Hide();
    }
}

void PageSettingsDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        State().RefreshPending = false;
        Unload();
        event->accept();
        return;
    }
    Form::keyPressEvent(event);
}

} // namespace telmo
