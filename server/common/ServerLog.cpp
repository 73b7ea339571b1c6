#include "server/common/ServerLog.h"

Q_LOGGING_CATEGORY(lcServer, "kvr.server")
Q_LOGGING_CATEGORY(lcCalls, "kvr.server.calls", QtInfoMsg)
