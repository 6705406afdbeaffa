#include "convert/acm/acm.h"
#include "convert/acm/posix/own_acm.h"

namespace kowaki {

Acm& SystemAcm() { return OwnAcm(); }

}  // namespace kowaki
