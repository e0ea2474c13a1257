#include "text/dw_message_component.h"

namespace vx {

void DwMessageComponent::SetModified() {
    for (DwMessageComponent* component = this; component != nullptr; component = component->parent)
        component->modified = true;
}

}  // namespace vx
