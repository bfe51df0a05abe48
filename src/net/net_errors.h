// The error codes the transport reports, with the numbers of the system
// the launcher was designed on, because the logic branches on them (12002
// time-out, 12017 cancelled, 12031 connection lost, 12045 certificate
// authority...). Also their texts for logs and error pages.
//
// Pure data code; any thread.
#pragma once

#include <cstdint>
#include <string>

namespace NetEx {

enum eNetError : uint32_t {
  eNetError_None = 0,
  eNetError_NotEnoughMemory = 8,
  eNetError_WriteFault = 29,
  eNetError_Timeout = 12002,
  eNetError_InternalError = 12004,
  eNetError_InvalidUrl = 12005,
  eNetError_UnrecognizedScheme = 12006,
  eNetError_NameNotResolved = 12007,
  eNetError_OperationCancelled = 12017,
  eNetError_CannotConnect = 12029,
  eNetError_ConnectionAborted = 12030,
  eNetError_ConnectionReset = 12031,
  eNetError_HandleExists = 12036,
  eNetError_CertDateInvalid = 12037,
  eNetError_CertNameInvalid = 12038,
  eNetError_InvalidCertAuthority = 12045,
  eNetError_InvalidServerResponse = 12152,
  eNetError_SecureChannelError = 12157,
  eNetError_InvalidCertificate = 12169,
};

// The code for a failed transfer of the HTTP library: `libraryCode` is its
// result code, `verifyResult` the certificate check's result (0 when none).
uint32_t MapTransferError(int libraryCode, long verifyResult);

// The message text of a code ("" for codes without one).
std::string ErrorMessage(uint32_t code);
// The request log's error line: "WinInet error 12002: <message>",
// "Winsock error ..." for 10000-11999, "Error ..." otherwise, and "Failed"
// for the code -1.
std::string ErrorLine(int64_t code);

}  // namespace NetEx
