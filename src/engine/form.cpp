#include "engine/form.h"

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

namespace corvane {
namespace {

using enum ControlId;

const std::array<std::vector<ControlId>, 7> kRadioGroups = {{
    {SinglePathRadio, MultiPathRadio},
    {Rotate90, Rotate180, Rotate270, RotateCustom},
    {ResizeByRatio, ResizeBySize, ResizeByLongEdge},
    {CutByCount, CutByCellSize},
    {WatermarkByText, WatermarkByImage},
    {ClashPrefix, ClashSuffix, ClashOverwrite},
    {LongNameFoldPrefix, LongNameFoldSuffix, LongNameAbandon},
}};

}  // namespace

void SelectRadio(Form& form, ControlId id) {
    for (const auto& group : kRadioGroups) {
        if (std::find(group.begin(), group.end(), id) != group.end()) {
            for (const ControlId member : group) {
                form.SetChecked(member, member == id);
            }
            return;
        }
    }
    form.SetChecked(id, true);
}

const FormState::Control& FormState::Find(ControlId id) const {
    static const Control kDefault;
    const auto it = controls_.find(id);
    return it == controls_.end() ? kDefault : it->second;
}

}  // namespace corvane
