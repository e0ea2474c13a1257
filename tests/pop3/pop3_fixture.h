#pragma once
// A running PopServer on an ephemeral loopback port, serving the accounts of
// an in-memory web mail service.
#include "pop3/pop_server.h"
#include "tests/support/service_fixture.h"

namespace testing_support {

class Pop3Fixture : public ServiceFixture<PopServer, ActivePopSessions> {};

}  // namespace testing_support
