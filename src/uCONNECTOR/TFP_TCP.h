// The TCP side of the connector: one client connection to a printer's
// network port. Frames travel over the stream unchanged.
#pragma once

#include <memory>
#include <string>

#include "uCONNECTOR/TcpClient.h"

namespace orbantis {

class TFP_TCP {
 public:
  // Sets host and port; does not connect.
  TFP_TCP(const std::string& IP, int TCP_PORT);
  ~TFP_TCP();

  // false: disconnect if connected; true: connect if not connected.
  // 0, or -46 when the connect or disconnect failed.
  int SET_CONNECTED_STATE(bool State);
  bool GET_CONNECTED_STATE();

  std::unique_ptr<TcpClient> TCP_Client;
};

}  // namespace orbantis
