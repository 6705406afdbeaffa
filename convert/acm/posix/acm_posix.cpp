#include "convert/acm/acm.h"
#include "convert/codecs/own_acm.h"

namespace kowaki {

Acm& SystemAcm() { return OwnAcm(); }

}  // namespace kowaki
