#pragma once

#include "platform/ui/Form.h"

#include <QCoreApplication>
#include <functional>
#include <memory>

namespace telmo {

// The one instance of a form: created and loaded on first access, gone once the form has
// unloaded itself, loaded afresh on the next access. Tests may replace the factory.
template <class T> class FormHolder {
public:
    using Factory = std::function<T*()>;

    FormHolder() = default;
    FormHolder(const FormHolder&) = delete;
    FormHolder& operator=(const FormHolder&) = delete;
    // Windows cannot outlive the application object; at thread exit after it has gone they are left alone.
    ~FormHolder() {
        if (form_ != nullptr && QCoreApplication::instance() != nullptr)
            delete form_;
    }

    // The form, loading it first when it is not loaded.
    T& Get() {
        if (form_ != nullptr)
            return *form_;
        T* form = factory_ ? factory_() : new T();
        form_ = form;
        form->SetUnloadHook([this](Form* unloaded) {
            if (unloaded == form_)
                form_ = nullptr;
        });
        // Form_Load may refer to this holder again (it finds the form already here) or unload
        // the form on an error; the form object itself stays valid until the event loop runs.
        form->Form_Load();
        return *form;
    }
    T& operator()() { return Get(); }
    T* operator->() { return &Get(); }

    bool IsLoaded() const { return form_ != nullptr; }
    // The loaded form, or nullptr; never loads one.
    T* IfLoaded() const { return form_; }
    void Unload() {
        if (form_ != nullptr)
            form_->Unload();
    }
    void SetFactory(Factory factory) { factory_ = std::move(factory); }

private:
    T* form_ = nullptr;
    Factory factory_;
};

} // namespace telmo
