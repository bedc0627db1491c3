#pragma once
// The rules that keep the dialog's controls consistent, as functions over Form. They enable and
// disable controls and, where said, untick them; they never change a text and never tick
// anything. A disabled control counts as off whatever its check state.

#include "engine/form.h"

namespace corvane {

// Single-path group on and multi-path group off, or the reverse. Clear and View are usable in
// multi-path mode only when something is selected.
void SetSourceMode(Form& form, bool single, bool hasSelection);
// The sub-controls of rotate, resize, cut, combine and watermark follow their boxes and modes.
void UpdateOperationControls(Form& form);
// Prefix and suffix fields follow their radios; overwriting switches the name-length group off.
void UpdateNameClashControls(Form& form);
// Same-as-source and direct copy exclude each other and the format boxes (which keep their
// ticks while disabled).
void UpdateSaveModeControls(Form& form);
// A click on "all formats" sets every format box to its state.
void ApplyAllFormatsRule(Form& form);
// After a click on a format box, "all formats" is ticked exactly when all seven are.
void ApplySingleFormatRule(Form& form);
// "打开当前" is usable when something exists at its field's path (normalised as a folder path);
// "打开上层" always is.
void UpdateOpenButtons(Form& form);
// Enables or disables every option control as one block and re-applies the rules above: a run
// locks the dialog with (false, false) and unlocks it with (true, true). Start follows
// startEnabled; Stop, the header, the message texts and the progress bar are left alone.
// `hasSelection`: the multi selection holds at least one entry.
void SetControlsEnabled(Form& form, bool enable, bool startEnabled, bool hasSelection);

}  // namespace corvane
