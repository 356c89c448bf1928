#include "dialogs/PageSelectionDialog.h"

#include "component/JobState.h"
#include "platform/Twips.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QVBoxLayout>

namespace telmo {

PageSelectionDialog::PageSelectionDialog() {
    setWindowTitle(QStringLiteral("Page Selection"));
    auto* layout = new QVBoxLayout(this);
    opPageSelection1 = new QRadioButton(QStringLiteral("Print All Pages"), this);
    opPageSelection2 = new QRadioButton(QStringLiteral("Print Current Page"), this);
    OKButton = new QPushButton(QStringLiteral("OK"), this);
    CancelButton = new QPushButton(QStringLiteral("Cancel"), this);
    opPageSelection1->setObjectName(QStringLiteral("opPageSelection1"));
    opPageSelection2->setObjectName(QStringLiteral("opPageSelection2"));
    OKButton->setObjectName(QStringLiteral("OKButton"));
    CancelButton->setObjectName(QStringLiteral("CancelButton"));
    OKButton->setDefault(true);
    // An option is as wide as its caption: a click beside the caption, which a stretched
    // option would take in, does not choose it.
    layout->addWidget(opPageSelection1, 0, Qt::AlignLeft);
    layout->addWidget(opPageSelection2, 0, Qt::AlignLeft);
    layout->addWidget(OKButton);
    layout->addWidget(CancelButton);
    // The designed size, or more where the desktop's face needs it: squeezed, the buttons
    // would overlap.
    setFixedSize(QSize(TwipsToPixels(3600), TwipsToPixels(2400)).expandedTo(layout->totalSizeHint()));
    connect(OKButton, &QPushButton::clicked, this, &PageSelectionDialog::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &PageSelectionDialog::CancelButton_Click);
}

void PageSelectionDialog::Form_Load() {
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.width() / 2 - width() / 2, area.height() / 2 - height() / 2);
    }
    opPageSelection1->setChecked(true);
}

void PageSelectionDialog::showEvent(QShowEvent* event) {
    Form::showEvent(event);
    OKButton->setFocus();
    State().RefreshPending = false;
}

void PageSelectionDialog::OKButton_Click() {
    State().PageSelectionChoice = opPageSelection1->isChecked() ? 1 : 2;
    Unload();
}

void PageSelectionDialog::CancelButton_Click() {
    State().PageSelectionChoice = 0;
    Unload();
}

void PageSelectionDialog::reject() {
    CancelButton_Click();
}

void PageSelectionDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        CancelButton_Click();
        event->accept();
        return;
    }
    Form::keyPressEvent(event);
}

} // namespace telmo
