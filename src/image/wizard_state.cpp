#include "image/wizard_state.h"

#include "image/read_write_interface.h"

namespace vdrec::image {

WizardState::WizardState() = default;
WizardState::~WizardState() = default;

}  // namespace vdrec::image
