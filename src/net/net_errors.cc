#include "net/net_errors.h"

#include <curl/curl.h>

namespace NetEx {
namespace {

// Results of the certificate check (the TLS library's verify codes).
constexpr long kVerifyUnableToGetIssuer = 2;
constexpr long kVerifyNotYetValid = 9;
constexpr long kVerifyExpired = 10;
constexpr long kVerifySelfSigned = 18;
constexpr long kVerifySelfSignedInChain = 19;
constexpr long kVerifyUnableToGetIssuerLocally = 20;
constexpr long kVerifyUnableToVerifyLeaf = 21;
constexpr long kVerifyHostnameMismatch = 62;

uint32_t MapCertificateError(long verifyResult) {
  switch (verifyResult) {
    case kVerifyUnableToGetIssuer:
    case kVerifySelfSigned:
    case kVerifySelfSignedInChain:
    case kVerifyUnableToGetIssuerLocally:
    case kVerifyUnableToVerifyLeaf:
      return eNetError_InvalidCertAuthority;
    case kVerifyNotYetValid:
    case kVerifyExpired:
      return eNetError_CertDateInvalid;
    case 0:  // the chain was fine: the host name check failed
    case kVerifyHostnameMismatch:
      return eNetError_CertNameInvalid;
    default:
      return eNetError_InvalidCertificate;
  }
}

}  // namespace

uint32_t MapTransferError(int libraryCode, long verifyResult) {
  switch (static_cast<CURLcode>(libraryCode)) {
    case CURLE_OK:
      return eNetError_None;
    case CURLE_OPERATION_TIMEDOUT:
      return eNetError_Timeout;
    case CURLE_UNSUPPORTED_PROTOCOL:
      return eNetError_UnrecognizedScheme;
    case CURLE_URL_MALFORMAT:
      return eNetError_InvalidUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
      return eNetError_NameNotResolved;
    case CURLE_COULDNT_CONNECT:
      return eNetError_CannotConnect;
    case CURLE_PARTIAL_FILE:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
      return eNetError_ConnectionReset;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_BAD_CONTENT_ENCODING:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
      return eNetError_InvalidServerResponse;
    case CURLE_PEER_FAILED_VERIFICATION:
      return MapCertificateError(verifyResult);
    case CURLE_SSL_CACERT_BADFILE:
      return eNetError_InvalidCertAuthority;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
      return eNetError_SecureChannelError;
    case CURLE_WRITE_ERROR:
      return eNetError_WriteFault;
    case CURLE_OUT_OF_MEMORY:
      return eNetError_NotEnoughMemory;
    case CURLE_ABORTED_BY_CALLBACK:
      return eNetError_OperationCancelled;
    default:
      return eNetError_InternalError;
  }
}

std::string ErrorMessage(uint32_t code) {
  switch (code) {
    case eNetError_NotEnoughMemory:
      return "Not enough memory resources are available to process this command.";
    case eNetError_WriteFault:
      return "The system cannot write to the specified device.";
    case eNetError_Timeout:
      return "The operation timed out";
    case eNetError_InternalError:
      return "An internal error occurred.";
    case eNetError_InvalidUrl:
      return "The URL is invalid.";
    case eNetError_UnrecognizedScheme:
      return "The URL does not use a recognized protocol";
    case eNetError_NameNotResolved:
      return "The server name or address could not be resolved";
    case eNetError_OperationCancelled:
      return "The operation was canceled";
    case eNetError_CannotConnect:
      return "A connection with the server could not be established";
    case eNetError_ConnectionAborted:
      return "The connection with the server was terminated abnormally";
    case eNetError_ConnectionReset:
      return "The connection with the server was reset";
    case eNetError_HandleExists:
      return "The handle is already in use.";
    case eNetError_CertDateInvalid:
      return "The date in the certificate is invalid or has expired";
    case eNetError_CertNameInvalid:
      return "The host name in the certificate is invalid or does not match";
    case eNetError_InvalidCertAuthority:
      return "The certificate authority is invalid or incorrect";
    case eNetError_InvalidServerResponse:
      return "The server returned an invalid or unrecognized response";
    case eNetError_SecureChannelError:
      return "An error occurred in the secure channel support";
    case eNetError_InvalidCertificate:
      return "The certificate is invalid.";
    default:
      return std::string();
  }
}

std::string ErrorLine(int64_t code) {
  if (code == -1) return "Failed";
  const auto value = static_cast<uint32_t>(code);
  const char* category = "Error";
  if (value >= 10000 && value <= 11999) {
    category = "Winsock error";
  } else if (value >= 12000 && value <= 12174) {
    category = "WinInet error";
  }
  std::string line = std::string(category) + " " + std::to_string(value) + ":";
  const std::string message = ErrorMessage(value);
  if (!message.empty()) line += " " + message;
  return line;
}

}  // namespace NetEx
