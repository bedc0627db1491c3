#pragma once
// The checks made before a run. They clean the number fields in place, check the options group by
// group in a fixed order and stop at the first problem, giving exactly one message for it. On
// acceptance the output folder exists and the run's watermark is prepared.

#include "engine/form.h"
#include "engine/translated_text.h"
#include "imaging/image_processor.h"

#include <QString>

namespace corvane {

namespace texts {
// Refuses an operation where no format is chosen, which the dialog calls the direct-copy mode.
inline constexpr TranslatedText kNoOperationWhenCopying{QT_TRANSLATE_NOOP(
    "corvane", "直接拷贝模式下，不允许勾选任何操作（包括旋转，缩放，切割，合并，加水印）。")};
}  // namespace texts

// True to accept. On refusal `message` holds the one text to show (in red on the status line).
// Lasting effects, also on refusal: the cleaned texts written back into the fields that were
// reached; from the output-folder step on, that folder and the watermark. `batchOnlyFormats`:
// formats without a box in the form are chosen (corvane-batch's WebP and AVIF), so a form without
// a ticked format is no direct copy.
bool ValidateInputs(Form& form, const ImageProcessor& processor, WatermarkSettings& watermark,
                    QString* message, bool batchOnlyFormats = false);

// Trims the field's text (and, with stripSpaces, removes every space inside) and writes it back.
void NormalizeField(Form& form, ControlId id, bool stripSpaces);
// A positive number, checked as what it is used as: with allowFraction any text whose numeric
// prefix is a finite number above 0; otherwise a whole number written with digits only, no
// leading zero, that fits 32 bits. A disabled field passes.
bool CheckPositiveNumber(const Form& form, ControlId id, bool allowFraction);

}  // namespace corvane
