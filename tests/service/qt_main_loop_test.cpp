// The Qt backend of the main loop against the common contract.
#include "service/qt/qt_main_loop.h"

#include "support/main_loop_contract.h"
#include "support/socket_pair_backend.h"

namespace orvik::testing {
namespace {

INSTANTIATE_TYPED_TEST_SUITE_P(Qt, MainLoopContract, SocketPairBackend<service::QtMainLoop>);

}  // namespace
}  // namespace orvik::testing
