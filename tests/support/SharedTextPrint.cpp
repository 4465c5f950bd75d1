// How test messages show a result's texts.
#include <ostream>

#include "catalogue/SharedText.h"
#include "sys/Text.h"

namespace catalogue {

std::ostream& operator<<(std::ostream& out, const SharedText& text) {
  return out << sys::ToUtf8(text.str());
}

}  // namespace catalogue
