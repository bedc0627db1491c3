#pragma once
// The checks made before a run. They clean the number fields in place, check the options group by
// group in a fixed order and stop at the first problem, giving exactly one message for it. On
// acceptance the output folder exists and the run's watermark is prepared.

#include "engine/form.h"
#include "imaging/image_processor.h"

#include <QString>

namespace corvane {

// True to accept. On refusal `message` holds the one text to show (in red on the status line).
// Lasting effects, also on refusal: the cleaned texts written back into the fields that were
// reached; from the output-folder step on, that folder and the watermark. `batchOnlyFormats`:
// formats without a box in the form are chosen (corvane-batch's WebP and AVIF), so a form without
// a ticked format is no direct copy.
bool ValidateInputs(Form& form, const ImageProcessor& processor, WatermarkSettings& watermark,
                    QString* message, bool batchOnlyFormats = false);

// Trims the field's text (and, with stripSpaces, removes every space inside) and writes it back.
void NormalizeField(Form& form, ControlId id, bool stripSpaces);
// A positive number: any text whose numeric prefix is above 0 with allowFraction, otherwise a
// whole number written with digits only and no leading zero. A disabled field passes.
bool CheckPositiveNumber(const Form& form, ControlId id, bool allowFraction);

}  // namespace corvane
