// The FTP client of one browser frame: the control connection with login (directly or through
// an FTP proxy scheme), the directory and file commands, passive and active data connections,
// transfers with resume, and the parsed directory listing.
#pragma once

#include "ftp/ftp_feat.h"
#include "ftp/list_item.h"
#include "ftp/net_stream.h"
#include "ftp/socks_info.h"
#include "ftp/tcp_client.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

class TNetSimpleServer;
class TNetTLSContext;
class TNetIOHandlerSocket;

enum TNetFTPTransferType { ftASCII, ftBinary };

// The status text of a resume asked for in ASCII mode, which downloads the whole file instead.
inline constexpr const char* kAsciiResumeText =
    "Resume is not possible in ASCII mode; the whole file is downloaded again";

enum TNetFtpProxyType {
    fpcmNone = 0,
    fpcmUserSite = 1,
    fpcmSite = 2,
    fpcmOpen = 3,
    fpcmUserPass = 4,
    fpcmTransparent = 5,
    fpcmHttpProxyWithFtp = 6,
};

struct TNetFtpProxySettings {
    TNetFtpProxyType ProxyType = fpcmNone;
    std::string Host;
    std::string UserName;
    std::string Password;
    int Port = 0;
};

class ENetFTPFileAlreadyExists : public ENetException {
public:
    ENetFTPFileAlreadyExists() : ENetException("Destination file already exists.") {}
};

// A number in a server reply that is not one.
class ENetConvertError : public ENetException {
public:
    explicit ENetConvertError(const std::string& text)
        : ENetException("'" + text + "' is not a valid integer value") {}
};

class TNetFTP;
using TNetAfterGetEvent = std::function<void(TNetFTP* sender, TNetStream& stream)>;
using TNetCreateFTPListEvent =
    std::function<void(TNetFTP* sender, std::unique_ptr<TNetFTPListItems>& list)>;
using TNetCheckListFormatEvent =
    std::function<void(TNetFTP* sender, const std::string& line, TNetFTPListFormat& format)>;

class TNetFTP : public TNetTCPClient {
public:
    TNetFTP();
    ~TNetFTP() override;

    std::string Username, Password;
    bool Passive = false;
    TNetFtpProxySettings ProxySettings;
    // The SOCKS server for the control connection and passive data connections; used by the
    // transport that Connect creates.
    TNetSocksInfo SocksInfo;

    TNetNotifyEvent OnAfterClientLogin;
    TNetAfterGetEvent OnAfterGet;
    TNetCreateFTPListEvent OnCreateFTPList;
    TNetCheckListFormatEvent OnCheckListFormat;
    // Handed to every parsed listing this object builds.
    TNetParseCustomListFormatEvent OnParseCustomListFormat;

    TNetRFCReply LoginReply;
    // The first line of the SYST reply, or "Unknown".
    std::string ServerSystem;
    // The lines of the last listing.
    std::vector<std::string> RawListing;
    // Set by the first resume probe and kept for the life of the object.
    bool ResumeProbed = false;
    bool ResumeSupported = false;

    // The features of the current login (FEAT is asked once per login, after the password).
    TNetFtpFeatures Features;
    // Try EPSV and EPRT before PASV and PORT (always on IPv6).
    bool UseExtendedPorts = true;
    // List folders with MLSD when the server offers MLST.
    bool UseMlsd = true;

    // How the connections are secured (explicit and implicit FTPS; see ftp_feat.h).
    TNetFtpEncryption Encryption = feNone;
    // Authorities trusted besides the system's (a PEM file), or "".
    std::string CaFile;
    // SHA-256 fingerprints accepted without the checks (any form NetCanonicalFingerprint reads).
    std::vector<std::string> TrustedFingerprints;
    // Asked when the server's certificate fails the checks; without it such a certificate is
    // refused. "Always trust" adds the fingerprint to TrustedFingerprints.
    TNetCertificateEvent OnCertificate;
    // The control connection's certificate, filled once TLS is on.
    TNetCertificateInfo ServerCertificate;
    // True while the control connection runs TLS.
    bool TLSActive() const;
    // True when data connections run TLS (PROT P was accepted).
    bool DataProtected() const { return dataProtected; }

    // After each file transfer in binary mode, compare the server's digest of the file (or,
    // where it offers none, its size) with the bytes that passed.
    bool VerifyTransfers = true;
    // After each file transfer, give the copy the original's modification time (MDTM, MFMT).
    bool KeepFileTimes = false;
    // True when the last transfer was ended by AbortTransfer.
    bool TransferAborted() const { return abortRequested; }
    // How the last file transfer was verified ("SHA-256 <hex>", "size N"), or "".
    std::string LastVerification;

    // Asks FEAT and, when the server offers UTF8, turns it on. Called by Login.
    void AskFeatures();
    // Sends command and reads its reply keeping continuation lines that do not start with the
    // code whole (FEAT and MLST indent theirs). Returns the code; accepts any.
    int SendCommandWholeLines(const std::string& command);

    TNetFTPTransferType TransferType() const { return transferType; }
    // Stores the type and, when connected, sends it; ignored while a transfer runs.
    void SetTransferType(TNetFTPTransferType type);
    // The data connection of the transfer in progress, or null.
    TNetTCPConnection* DataConnection() const { return dataConnection.get(); }

    // Connects (to the FTP proxy when one is set), reads the 220 welcome and, with autoLogin,
    // logs in and asks SYST. Raises the connection errors, ENetProtocolReplyError for an
    // unaccepted reply, ENetException "Command not supported." for the HTTP proxy scheme;
    // any failure closes the connection.
    void Connect(bool autoLogin, int timeoutMs);
    // Logs in by ProxySettings.ProxyType and sends the transfer type. Raises
    // ENetProtocolReplyError or ENetException "Command not supported.".
    void Login();
    // Sends TYPE A or TYPE I for TransferType. Raises ENetProtocolReplyError.
    void SendTransferType();

    // Directory and file commands; each raises ENetProtocolReplyError for a refusal and the
    // connection errors. The connection stays open after a refusal.
    void ChangeDirectory(const std::string& path);
    // Returns the folder quoted in the PWD reply ("" when the reply has no quoted part).
    std::string CurrentDirectory();
    void MakeDirectory(const std::string& path);
    void RemoveDirectory(const std::string& path);
    void DeleteFile(const std::string& name);
    void RenameFile(const std::string& fromName, const std::string& toName);
    // Returns the size from a 213 SIZE reply (64-bit), or -1 for any other reply or text.
    int64_t FileSize(const std::string& name);

    // Writes ABOR (no reply is read here) and closes the data socket of a running transfer.
    void AbortTransfer();
    // Closes the control connection; no QUIT is sent.
    void Disconnect() override;

    // Downloads remoteName into stream from its current position (REST with that position
    // when resume and the server supports it), then fires OnAfterGet. In ASCII mode each CR LF
    // arrives as LF, and a resume becomes a whole download from the start of the stream,
    // announced by the status text kAsciiResumeText.
    void RetrieveToStream(const std::string& remoteName, TNetStream& stream, bool resume);
    // Downloads into a local file by the overwrite and resume rules. Raises
    // ENetFTPFileAlreadyExists when the existing file may be neither replaced nor resumed.
    void Retrieve(const std::string& remoteName, const std::string& localFileName,
                  bool canOverwrite, bool resume);
    // Uploads stream: STOU with an empty name, APPE from its position when append, else STOR
    // of the whole stream. In ASCII mode each LF not preceded by CR goes as CR LF.
    void Store(TNetStream& stream, const std::string& remoteName, bool append);
    // Uploads a local file (the whole file, also for an append).
    void StoreFile(const std::string& localFileName, const std::string& remoteName, bool append);
    // Runs LIST (details) or NLST with the specifier and keeps its lines in RawListing (and in
    // destination when given); the parsed listing is rebuilt on next use.
    void ListDirectory(std::vector<std::string>* destination, const std::string& specifier,
                       bool details);
    // Returns the parsed listing of RawListing, built on first use after each listing (or while
    // it arrived, when OnCreateFTPList and OnCheckListFormat were not set at the time).
    TNetFTPListItems& DirectoryListing();

    // True when folders are listed with MLSD (UseMlsd and the server offers MLST).
    bool MachineListingsWanted() const;
    // Reads a file's facts with MLST; false when the server has no MLST or refuses.
    bool FileFacts(const std::string& name, TNetFTPListItem& item);
    // Reads a file's modification time (UTC) with MDTM; false when refused or unreadable.
    bool FileTime(const std::string& name, TNetDateTime& time);
    // Sets a file's modification time (UTC) with MFMT; false when not offered or refused.
    bool SetFileTime(const std::string& name, const TNetDateTime& time);

    // Sends PASV and returns the address and port of the 227 reply. Raises
    // ENetProtocolReplyError or ENetConvertError.
    std::pair<std::string, int> RequestPassive();
    // Sends PORT for ip:port. Raises ENetProtocolReplyError.
    void SendPort(const std::string& ip, int port);
    // Returns the port of a 229 EPSV reply text. Raises ENetConvertError for a malformed one.
    static int ParseExtendedPassive(const std::string& text);
    // True when the control connection runs over IPv6 (no SOCKS): only EPSV and EPRT work.
    bool ControlIsIPv6() const;
    // Asks once per object whether REST works (REST 1, then REST 0); returns the answer.
    bool ProbeResume();
    // Closes the data connection's sockets quietly, if there is one.
    void CloseDataConnection();

private:
    void userStep(const std::string& user, const std::string& password);
    void proxyStep();
    void copyDataSettings(TNetTCPConnection& data);
    // EPSV (the host then is "") or PASV; EPRT or PORT. See ftp_epsv.cpp for the choice.
    std::pair<std::string, int> requestDataPort();
    void sendDataPort(const std::string& ip, int port);
    bool extendedWanted(bool refused, const char* feature) const;
    // PASV, then (when given) the command, then the data connection is made.
    void openPassiveData(const std::string& commandFirst);
    TNetSimpleServer& listenActiveData();
    void readFinalReply();
    // True when bytes of a reply wait in the queue or on the socket, looking without waiting.
    bool replyAlreadyArrived();
    // Reports the start, runs moveData, frees the data connection, reports "Transfer
    // complete" in every case and, when nothing was raised, reads the final reply.
    void runTransfer(const std::function<void()>& moveData);
    void ReceiveOverData(const std::string& command, TNetStream& stream, bool resume);
    void SendOverData(const std::string& command, TNetStream& stream, bool fromStart);
    void releaseDataConnection();
    // TLS: AUTH TLS (or the implicit handshake) on the control connection; PBSZ and PROT
    // after the login; the data connection's transport and its handshake.
    void startControlTLS(bool required);
    void protectData();
    std::unique_ptr<TNetIOHandlerSocket> makeDataTransport();
    void secureDataConnection();
    void loadMachineListing(TNetFTPListItems& items) const;

    std::unique_ptr<TNetTLSContext> tlsContext;
    bool dataProtected = false;
    // Extended port commands refused by this server (500/502) in this login.
    bool epsvRefused = false;
    bool eprtRefused = false;

    TNetFTPTransferType transferType = ftBinary;
    std::unique_ptr<TNetTCPConnection> dataConnection;
    std::unique_ptr<TNetFTPListItems> listing;
    // The host the control connection was made to (the FTP server or proxy, as named).
    std::string controlTarget;
    // The SOCKS settings of the passive data connection, copied from the control's.
    TNetSocksInfo dataSocks;
    bool abortRequested = false;
    // The lines in RawListing are MLSD facts.
    bool machineListing = false;
};

class TNetDigestWorker;
class TNetDigestStream;

// Checks one file transfer: hands out the stream the transfer uses (the bytes pass through a
// digest), then Finish compares with the server and keeps the file time. Raises
// ENetTransferVerifyError on a mismatch.
class TNetTransferCheck {
public:
    // whole: the transfer moves the file from its first byte (no resume, no append).
    TNetTransferCheck(TNetFTP& ftp, const std::string& remoteName, TNetStream& stream,
                      bool download, bool whole);
    ~TNetTransferCheck();
    TNetStream& Stream();
    void Finish();

private:
    std::string serverDigest();
    void keepTime();

    TNetFTP& ftp;
    std::string remoteName;
    TNetStream& stream;
    bool download, whole, verify = false;
    std::string command;
    std::unique_ptr<TNetDigestWorker> digest;
    std::unique_ptr<TNetDigestStream> passing;
    // A download into a file on a single processor is hashed from the file afterwards: the
    // digest's algorithm (a TNetDigestAlgorithm) and where the received bytes start.
    int hashFileAfter = 0;
    int64_t start = 0;
};

// Reads a YYYYMMDDHHMMSS[.sss] time of MDTM and the modify fact; false when it is not one.
bool NetParseFactTime(const std::string& text, TNetDateTime& time);
// Returns the YYYYMMDDHHMMSS text of a time.
std::string NetFactTimeText(const TNetDateTime& time);
// Reads one MLSD line into item; skip is set for the folder itself and its parent. Returns
// false when the line has no name or no type fact.
bool NetParseMlsdLine(const std::string& line, TNetFTPListItem& item, bool& skip);
