#pragma once

#include "platform/ui/Form.h"

#include <QPushButton>
#include <QRadioButton>

namespace telmo {

// Asks, before a print from the preview, for all pages or the page shown. The answer is
// left in PageSelectionChoice: 0 cancelled, 1 all pages, 2 the current page.
class PageSelectionDialog : public Form {
    Q_OBJECT
public:
    PageSelectionDialog();

    void Form_Load() override;

    QRadioButton* opPageSelection1;
    QRadioButton* opPageSelection2;
    QPushButton* OKButton;
    QPushButton* CancelButton;

protected:
    void showEvent(QShowEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    // The close box is a way out too, and it means Cancel: nothing is printed.
    void reject() override;

private:
    void OKButton_Click();
    void CancelButton_Click();
};

} // namespace telmo
