#include "platform/ui/Form.h"

#include "platform/RuntimeError.h"
#include "platform/Twips.h"
#include "platform/ui/PictureBox.h"
#include "platform/ui/UnseenWindows.h"

#include <QPointer>

namespace telmo {

Form::Form(QWidget* parent) : QDialog(parent) {}

void Form::Unload() {
    if (unloaded_)
        return;
    unloaded_ = true;
    if (isVisible())
        done(QDialog::Rejected);
    hide();
    if (unloadHook_)
        unloadHook_(this);
    deleteLater();
}

float Form::ScaleWidth() const {
    return PixelsToTwips(width());
}

float Form::ScaleHeight() const {
    return PixelsToTwips(height());
}

void Form::ShowModal() {
    if (unloaded_)
        return;
    if (WaitsForUser()) {
        try {
            UnseenWindows::CheckCanBeAnswered(err::kInvalidProcedureCall,
                                              QStringLiteral("window \"%1\"").arg(windowTitle()));
        } catch (const RuntimeError&) {
            Unload();
            throw;
        }
    }
    setModal(true);
    hiddenByCode_ = false;
    // The window may unload (and be deleted) while its modal loop runs.
    QPointer<Form> self(this);
    exec();
    if (self && !self->unloaded_ && !self->hiddenByCode_)
        self->Unload();
}

void Form::Hide() {
    hiddenByCode_ = true;
    hide();
}

} // namespace telmo
