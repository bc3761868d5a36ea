#include <stdexcept>

#include "app/Workspace.h"

namespace barvik {

void Workspace::ButtonHTMLClick(ImageSource&) { throw std::logic_error("export not built yet"); }

}  // namespace barvik
