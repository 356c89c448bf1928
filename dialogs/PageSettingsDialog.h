#pragma once

#include "platform/ui/Form.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <array>

namespace telmo {

// The page number options: on or off, and the corner it is drawn in. OK and Cancel only
// hide the dialog (it keeps what the user left in it); Esc unloads it.
class PageSettingsDialog : public Form {
    Q_OBJECT
public:
    PageSettingsDialog();

    void Form_Load() override;

    QCheckBox* chkPageNo;
    QComboBox* cbPageAlign;
    std::array<QPushButton*, 2> cmdOption{};

    void cmdOption_Click(int index);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void chkPageNo_Click();
};

} // namespace telmo
