#include "uCONNECTOR/TFP_TCP.h"

namespace orbantis {

TFP_TCP::TFP_TCP(const std::string& IP, int TCP_PORT) : TCP_Client(std::make_unique<TcpClient>()) {
  TCP_Client->Port = TCP_PORT;
  TCP_Client->Host = IP;
}

TFP_TCP::~TFP_TCP() {
  try {
    if (TCP_Client->Connected()) TCP_Client->DiscardInput();
  } catch (...) {
    // A peer that floods us is left behind as it is.
  }
  TCP_Client->Disconnect();
}

int TFP_TCP::SET_CONNECTED_STATE(bool State) {
  try {
    if (!State) {
      if (TCP_Client->Connected()) TCP_Client->Disconnect();
    } else if (!TCP_Client->Connected()) {
      TCP_Client->Connect();
    }
    return 0;
  } catch (const std::exception&) {
    return -46;
  }
}

bool TFP_TCP::GET_CONNECTED_STATE() { return TCP_Client->Connected(); }

}  // namespace orbantis
