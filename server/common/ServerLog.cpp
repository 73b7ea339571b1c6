#include "server/common/ServerLog.h"

Q_LOGGING_CATEGORY(lcServer, "kvr.server")
