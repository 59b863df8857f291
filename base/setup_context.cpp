#include "base/setup_context.h"

namespace vaq {
SetupContext g_setup;
}
