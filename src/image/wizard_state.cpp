#include "image/wizard_state.h"

#include "image/image_reader.h"

namespace vdrec::image {

WizardState::WizardState() = default;
WizardState::~WizardState() = default;

}  // namespace vdrec::image
