#include "mail/wsocket_error.h"

#include <cerrno>
#include <netdb.h>

namespace tav {

std::string WSocketErrorDesc(int code) {
  switch (code) {
    case 0: return "No Error";
    case 10004: return "Interrupted system call";
    case 10009: return "Bad file number";
    case 10013: return "Permission denied";
    case 10014: return "Bad address";
    case 10022: return "Invalid argument";
    case 10024: return "Too many open files";
    case 10035: return "Operation would block";
    case 10036: return "Operation now in progress";
    case 10037: return "Operation already in progress";
    case 10038: return "Socket operation on non-socket";
    case 10039: return "Destination address required";
    case 10040: return "Message too long";
    case 10041: return "Protocol wrong type for socket";
    case 10042: return "Protocol not available";
    case 10043: return "Protocol not supported";
    case 10044: return "Socket type not supported";
    case 10045: return "Operation not supported on socket";
    case 10046: return "Protocol family not supported";
    case 10047: return "Address family not supported by protocol family";
    case 10048: return "Address already in use";
    case 10049: return "Address not available";
    case 10050: return "Network is down";
    case 10051: return "Network is unreachable";
    case 10052: return "Network dropped connection on reset";
    case 10053: return "Connection aborted";
    case 10054: return "Connection reset by peer";
    case 10055: return "No buffer space available";
    case 10056: return "Socket is already connected";
    case 10057: return "Socket is not connected";
    case 10058: return "Can't send after socket shutdown";
    case 10059: return "Too many references: can't splice";
    case 10060: return "Connection timed out";
    case 10061: return "Connection refused";
    case 10062: return "Too many levels of symbolic links";
    case 10063: return "File name too long";
    case 10064: return "Host is down";
    case 10065: return "No route to host";
    case 10066: return "Directory not empty";
    case 10067: return "Too many processes";
    case 10068: return "Too many users";
    case 10069: return "Disc quota exceeded";
    case 10070: return "Stale NFS file handle";
    case 10071: return "Too many levels of remote in path";
    case 10091: return "Network sub-system is unusable";
    case 10092: return "WinSock DLL cannot support this application";
    case 10093: return "WinSock not initialized";
    case 11001: return "Host not found";
    case 11002: return "Non-authoritative host not found";
    case 11003: return "Non-recoverable error";
    case 11004: return "No Data";
    default: return "Not a WinSock error";
  }
}

int WsaErrorFromErrno(int err) {
  switch (err) {
    case 0: return 0;
    case EINTR: return kWsaEIntr;
    case EBADF: return kWsaEBadF;
    case EACCES: case EPERM: return kWsaEAcces;
    case EFAULT: return kWsaEFault;
    case EINVAL: return kWsaEInval;
    case EMFILE: case ENFILE: return kWsaEMFile;
    case EAGAIN: return kWsaEWouldBlock;
#if EWOULDBLOCK != EAGAIN
    case EWOULDBLOCK: return kWsaEWouldBlock;
#endif
    case EINPROGRESS: return kWsaEInProgress;
    case EALREADY: return kWsaEAlready;
    case ENOTSOCK: return kWsaENotSock;
    case EDESTADDRREQ: return kWsaEDestAddrReq;
    case EMSGSIZE: return kWsaEMsgSize;
    case EPROTOTYPE: return kWsaEProtoType;
    case ENOPROTOOPT: return kWsaENoProtoOpt;
    case EPROTONOSUPPORT: return kWsaEProtoNoSupport;
    case ESOCKTNOSUPPORT: return kWsaESocktNoSupport;
    case EOPNOTSUPP: return kWsaEOpNotSupp;
    case EPFNOSUPPORT: return kWsaEPfNoSupport;
    case EAFNOSUPPORT: return kWsaEAfNoSupport;
    case EADDRINUSE: return kWsaEAddrInUse;
    case EADDRNOTAVAIL: return kWsaEAddrNotAvail;
    case ENETDOWN: return kWsaENetDown;
    case ENETUNREACH: return kWsaENetUnreach;
    case ENETRESET: return kWsaENetReset;
    case ECONNABORTED: return kWsaEConnAborted;
    case ECONNRESET: return kWsaEConnReset;
    // Writing to a connection the peer has dropped.
    case EPIPE: return kWsaEConnReset;
    case ENOBUFS: case ENOMEM: return kWsaENoBufs;
    case EISCONN: return kWsaEIsConn;
    case ENOTCONN: return kWsaENotConn;
    case ESHUTDOWN: return kWsaEShutdown;
    case ETOOMANYREFS: return kWsaETooManyRefs;
    case ETIMEDOUT: return kWsaETimedOut;
    case ECONNREFUSED: return kWsaEConnRefused;
    case ELOOP: return kWsaELoop;
    case ENAMETOOLONG: return kWsaENameTooLong;
    case EHOSTDOWN: return kWsaEHostDown;
    case EHOSTUNREACH: return kWsaEHostUnreach;
    case ENOTEMPTY: return kWsaENotEmpty;
    case EUSERS: return kWsaEUsers;
    case EDQUOT: return kWsaEDQuot;
    case ESTALE: return kWsaEStale;
    case EREMOTE: return kWsaERemote;
    default: return kWsaSysCallFailure;
  }
}

int WsaErrorFromGai(int gai, int saved_errno) {
  switch (gai) {
    case 0: return 0;
    case EAI_NONAME: return kWsaHostNotFound;
    case EAI_AGAIN: return kWsaHostNotFound;
#ifdef EAI_NODATA
    case EAI_NODATA: return kWsaNoData;
#endif
#ifdef EAI_ADDRFAMILY
    case EAI_ADDRFAMILY: return kWsaNoData;
#endif
    case EAI_SERVICE: return kWsaNoData;
    case EAI_FAIL: return kWsaNoRecovery;
    case EAI_MEMORY: return kWsaENoBufs;
    case EAI_FAMILY: return kWsaEAfNoSupport;
    case EAI_SOCKTYPE: return kWsaESocktNoSupport;
    case EAI_BADFLAGS: return kWsaEInval;
    case EAI_OVERFLOW: return kWsaEFault;
    case EAI_SYSTEM: return saved_errno != 0 ? WsaErrorFromErrno(saved_errno) : kWsaNoRecovery;
    default: return kWsaNoRecovery;
  }
}

}  // namespace tav
