#include "app/setup_context.h"

namespace vaq {
SetupContext g_setup;
}
