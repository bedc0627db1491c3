#pragma once
// Reading and writing the dialog's controls by id. The capture of run options, the enable rules
// and the input validation are written against Form only, so they run unchanged over the real
// dialog, over corvane-batch's arguments and in tests. A Form is used on the thread that owns it.

#include "engine/control_ids.h"

#include <QString>

#include <cstdint>
#include <map>

namespace corvane {

class Form {
public:
    virtual ~Form() = default;
    // Check boxes and radio buttons.
    virtual bool IsChecked(ControlId id) const = 0;
    virtual void SetChecked(ControlId id, bool checked) = 0;
    virtual bool IsEnabled(ControlId id) const = 0;
    virtual void SetEnabled(ControlId id, bool enabled) = 0;
    // Edit texts, labels and button captions.
    virtual QString Text(ControlId id) const = 0;
    virtual void SetText(ControlId id, const QString& text) = 0;
    // The colour of a colour button, as a Windows colour value 0x00BBGGRR.
    virtual std::uint32_t ColourValue(ControlId id) const = 0;
    virtual void SetColourValue(ControlId id, std::uint32_t colour) = 0;

    // Checked and enabled: a disabled control counts as off whatever its check state.
    bool IsOn(ControlId id) const { return IsEnabled(id) && IsChecked(id); }
};

// Selects a radio button and clears the others of its group, as a click would.
void SelectRadio(Form& form, ControlId id);

// A Form held in memory. Every control starts enabled, unticked, with empty text and colour
// white.
class FormState : public Form {
public:
    bool IsChecked(ControlId id) const override { return Find(id).checked; }
    void SetChecked(ControlId id, bool checked) override { controls_[id].checked = checked; }
    bool IsEnabled(ControlId id) const override { return Find(id).enabled; }
    void SetEnabled(ControlId id, bool enabled) override { controls_[id].enabled = enabled; }
    QString Text(ControlId id) const override { return Find(id).text; }
    void SetText(ControlId id, const QString& text) override { controls_[id].text = text; }
    std::uint32_t ColourValue(ControlId id) const override { return Find(id).colour; }
    void SetColourValue(ControlId id, std::uint32_t colour) override {
        controls_[id].colour = colour;
    }

private:
    struct Control {
        bool checked = false;
        bool enabled = true;
        QString text;
        std::uint32_t colour = 0x00FFFFFF;
    };
    const Control& Find(ControlId id) const;

    std::map<ControlId, Control> controls_;
};

}  // namespace corvane
