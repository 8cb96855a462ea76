#include "printer_model/ErrorMessages.h"

namespace orbantis {
namespace {

struct Entry {
  std::int32_t code;
  const char16_t* language0;
  const char16_t* language1;
};

// The same text serves both languages for the logo codes: they name the
// method that failed.
constexpr Entry kTexts[] = {
    {-1, u"Неуспешно изпълнение на вътрешна инициализация.", u"Failed execution of internal initialization."},
    {-2, u"Неуспешно изпълнение на вътрешна инициализация.", u"Failed execution of internal initialization."},
    {-3, u"Неуспешно изпълнение на вътрешна инициализация.", u"Failed execution of internal initialization."},
    {-10500, u"Липсващ входящ параметър.", u"Missing input parameter."},
    {-10502, u"Проверка за превишаване на горна граница на дължината на параметъра.",
     u"Check for exceeding the upper limit of the parameter (length)."},
    {-10503, u"Проверка за превишаване на долна граница на дължината на параметъра.",
     u"Check for exceeding the lower limit of the parameter (length)."},
    {-10504, u"Проверка за наличие на стойността на параметъра в изброен списък от стойности.",
     u"Check for availability in the enumerated list of values."},
    {-10505, u"Проверка за това дали параметъра е реално число.", u"Check whether the parameter is real number."},
    {-10506, u"Проверка за превишаване на горна граница на параметъра.",
     u"Check for exceeding the upper limit of the parameter (Currency value)."},
    {-10507, u"Проверка за превишаване на долна граница на параметъра.",
     u"Check for exceeding the lower limit of the parameter (Currency value)."},
    {-10508, u"Проверка за превишаване на горна граница на параметъра.",
     u"Check for exceeding the upper limit of the parameter (QTY value)."},
    {-10509, u"Проверка за превишаване на долна граница на параметъра.",
     u"Check for exceeding the lower limit of the parameter (QTY value)."},
    {-10510, u"Проверка за това дали параметъра е цяло число.", u"Check whether the parameter is an integer value."},
    {-10511, u"Проверка за превишаване на горна граница на параметъра.",
     u"Check for exceeding the upper limit of the parameter (INT value)."},
    {-10512, u"Проверка за превишаване на долна граница на параметъра.",
     u"Check for exceeding the lower limit of the parameter (INT value)."},
    {-10513, u"Проверка за превишаване на горна граница на дължината на параметъра.",
     u"Check for exceeding the upper limit."},
    {-10514, u"Проверка за превишаване на долна граница на дължината на параметъра.",
     u"Check for exceeding the lower limit of the parameter (length)."},
    {-10515, u"Проверка за наличие на стойността на параметъра в изброен списък от стойности.",
     u"Check for availability in the enumerated list of values."},
    {-10516, u"Проверка за това дали параметъра е реално число.", u"Check whether the parameter is real number."},
    {-10517, u"Проверка за превишаване на горна граница на параметъра.(Currency value).",
     u"Check for exceeding the upper limit of the parameter (Currency value)."},
    {-10518, u"Проверка за превишаване на долна граница на параметъра.(Currency value).",
     u"Check for exceeding the lower limit of the parameter (Currency value)."},
    {-10519, u"Проверка за превишаване на горна граница на параметъра.",
     u"Check for exceeding the upper limit of the parameter (QTY value)."},
    {-10520, u"Проверка за превишаване на долна граница на параметъра.",
     u"Check for exceeding the lower limit of the parameter (QTY value)."},
    {-10521, u"Проверка за това дали параметъра е цяло число.", u"Check whether the parameter is an integer value."},
    {-10522, u"Проверка за превишаване на горна граница на параметъра.",
     u"Check for exceeding the upper limit of the parameter (INT value)."},
    {-10523, u"Проверка за превишаване на долна граница на параметъра.",
     u"Check for exceeding the lower limit of the parameter (INT value)."},
    {-10524, u"При отговор от устройството - липсва изходящ параметър, описан в документацията.",
     u"Missing output parameter."},
    {-42000, u"getLogoFromPrinterToFile: Exception error.", u"getLogoFromPrinterToFile: Exception error."},
    {-42001, u"getLogoFromPrinterToFile: Can not create target folder.",
     u"getLogoFromPrinterToFile: Can not create target folder."},
    {-42002, u"getLogoFromPrinterToFile: can not save logo to file.",
     u"getLogoFromPrinterToFile: can not save logo to file."},
    {-42003, u"getLogoFromPrinterToFile: Wrong file name.", u"getLogoFromPrinterToFile: Wrong file name."},
    {-42004, u"saveLogoFromFileToPrinter: file not exist.", u"saveLogoFromFileToPrinter: file not exist."},
    {-42005, u"saveLogoFromFileToPrinter: wrong file type.", u"saveLogoFromFileToPrinter: wrong file type."},
};

}  // namespace

ErrorTexts FixedErrorTexts(std::int32_t code) {
  for (const Entry& e : kTexts)
    if (e.code == code) return {e.language0, e.language1};
  return {u"Неизвестна грешка.", u"Unknown error."};
}

ErrorTexts ExchangeFailureTexts(const WideString& bitsLanguage0, const WideString& bitsLanguage1, bool refused) {
  ErrorTexts t {u"Неуспешно изпълнение на командата.\r\n", u"Unsuccessful command execution.\r\n"};
  if (refused) {
    // Nothing reached the printer: saying "check the link" would send the
    // shop to the cable for a fault in the calling program.
    t.language0 += u"Полето с данни е по-дълго от 219 байта; нищо не е изпратено към устройството.";
    t.language1 += u"The data field is longer than 219 bytes; nothing was sent to the printer.";
    return t;
  }
  if (!bitsLanguage0.empty()) t.language0 += u"Състояние на някои от статус байтовете:" + WideString(u"\r\n") + bitsLanguage0;
  else t.language0 += u"Моля проверете връзката с фискалното устройство!";
  if (!bitsLanguage1.empty()) t.language1 += u"Some of the status bytes:" + WideString(u"\r\n") + bitsLanguage1;
  else t.language1 += u"Please check the link with this fiscal!";
  return t;
}

}  // namespace orbantis
