#include "printer_model/StatusReads.h"

#include "printer_model/TFP_ZORVIK.h"

namespace orbantis::cmd {

SpecialRun StatusRead(bool withOption) {
  return [withOption](TFP_ZORVIK& model, const AnsiStrings& in, AnsiStrings& out) -> std::int32_t {
    const std::string prefix = withOption ? "TFP_ZORVIK.CMD_74_0_0" : "TFP_ZORVIK.CMD_74_0_1";
    std::int32_t result = -1;
    AnsiString data;
    if (withOption) {
      // Tested whatever WITH_INPCHECK says: the printer would take a lower-case
      // option as a different request.
      if (in[0].empty()) return STATUS_OPTION_MISSING;
      if (in[0] != "W" && in[0] != "X") return STATUS_OPTION_UNKNOWN;
      try {
        data = in[0];
      } catch (const std::exception& e) {
        model.WriteEngineLog(prefix + ".CONSTRUCT_INPUT: " + e.what());
        return -3;
      }
    }
    try {
      result = -4;
      AnsiString answer;
      model.tmpBoRes = model.CUSTOM_CMD_1(74, data, answer);
      if (model.tmpBoRes) {
        for (int i = 0; i < 6; ++i) out[static_cast<std::size_t>(i)] = std::to_string(model.StatusByte(i));
        result = 0;
      }
    } catch (const std::exception& e) {
      model.WriteEngineLog(prefix + ": " + e.what());
    }
    return result;
  };
}

}  // namespace orbantis::cmd
