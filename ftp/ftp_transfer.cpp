// TNetFTP: data connections (passive and active), transfers with resume, uploads, listings.

#include "ftp/ascii_stream.h"
#include "ftp/ftp.h"
#include "ftp/list_parser.h"
#include "ftp/reply_parsers.h"
#include "ftp/simple_server.h"
#include "ftp/socket/io_handler_socket.h"

#include <filesystem>

std::pair<std::string, int> TNetFTP::RequestPassive() {
    SendCommand("PASV", {227});
    return ParsePassiveReply(LastReply.Text.empty() ? std::string() : LastReply.Text[0]);
}

void TNetFTP::SendPort(const std::string& ip, int port) {
    SendCommand("PORT " + BuildPortArgument(ip, port), {200});
}

bool TNetFTP::ProbeResume() {
    if (ResumeProbed) return ResumeSupported;
    ResumeProbed = true;
    ResumeSupported = SendCommand("REST 1", -1) == 350;
    SendCommand("REST 0", -1);
    return ResumeSupported;
}

void TNetFTP::copyDataSettings(TNetTCPConnection& data) {
    // A data connection that stalls is waited on no longer than a reply.
    data.ReadTimeout = ReadTimeout;
    data.TimeoutStep = "data connection";
    data.SendBufferSize = SendBufferSize;
    data.RecvBufferSize = RecvBufferSize;
    data.OnWork = OnWork;
    data.OnWorkBegin = OnWorkBegin;
    data.OnWorkEnd = OnWorkEnd;
}

void TNetFTP::openPassiveData(const std::string& commandFirst) {
    auto [announced, port] = requestDataPort();
    if (!commandFirst.empty()) WriteLine(commandFirst);
    auto* control = dynamic_cast<TNetIOHandlerSocket*>(IOHandler());
    auto data = std::make_unique<TNetTCPClient>();
    copyDataSettings(*data);
    // The data connection goes where the control connection went, whatever address the 227
    // reply names: a server must not be able to send us to a third host. Through SOCKS that is
    // the host the SOCKS server was asked for, reached through the same SOCKS server.
    std::string target = announced;
    if (control) {
        auto transport = makeDataTransport();
        if (auto* socks = dynamic_cast<TNetSocksInfo*>(control->SocksInfo);
            socks && socks->UsesSocks()) {
            dataSocks.Assign(*socks);
            transport->SocksInfo = &dataSocks;
            target = controlTarget;
        } else if (control->Endpoint() && !control->Endpoint()->RemoteIP.empty()) {
            target = control->Endpoint()->RemoteIP;
        }
        data->SetOwnedIOHandler(std::move(transport));
    }
    if (announced.empty()) announced = target;
    ReportStatus(TNetStatus::StatusText, "Passive data port " + announced + ":" +
                                             std::to_string(port) + ", connecting to " + target +
                                             ":" + std::to_string(port));
    data->Host = target;
    data->Port = port;
    dataConnection = std::move(data);
    static_cast<TNetTCPClient*>(dataConnection.get())->Connect(-1);
}

TNetSimpleServer& TNetFTP::listenActiveData() {
    auto server = std::make_unique<TNetSimpleServer>();
    copyDataSettings(*server);
    server->SetOwnedIOHandler(makeDataTransport());
    if (auto* control = dynamic_cast<TNetIOHandlerSocket*>(IOHandler());
        control && control->Endpoint()) {
        server->BoundIP = control->Endpoint()->IP;
        // Without SOCKS the server's data connection comes from the peer of the control
        // connection; through SOCKS the server's own address is not known here.
        if (!(control->SocksInfo && control->SocksInfo->UsesSocks()))
            server->AllowedPeerIP = control->Endpoint()->RemoteIP;
    }
    TNetSimpleServer* raw = server.get();
    dataConnection = std::move(server);
    raw->StartListening();
    sendDataPort(raw->ListenDescriptor()->IP, raw->ListenDescriptor()->Port);
    return *raw;
}

void TNetFTP::releaseDataConnection() {
    if (!dataConnection) return;
    dataConnection->Disconnect();
    dataConnection.reset();
}

void TNetFTP::CloseDataConnection() {
    if (!dataConnection) return;
    dataConnection->CloseSocketQuietly();
    if (auto* server = dynamic_cast<TNetSimpleServer*>(dataConnection.get()))
        server->CloseListener();
}

bool TNetFTP::replyAlreadyArrived() {
    if (ReceiveQueue().Size() > 0) return true;
    // A look without waiting; bytes of a reply that has begun are read with the usual wait.
    return Connected() && ReadFromSocket(false, 0, false) > 0;
}

void TNetFTP::readFinalReply() {
    int code = ReadReply({225, 226, 250, 426, 450});
    if (code == 426 || code == 450) {
        const TNetRFCReply failure = LastReply;
        // 426 and 450 end the transfer (RFC 959). After our ABOR the server still owes that
        // command its reply; otherwise a success some servers add is taken only when it has
        // already arrived: a server that sends none must not hold us for a whole time-out, and
        // a reply left unread would answer the next command instead.
        if (abortRequested || replyAlreadyArrived()) ReadReply();
        ReportStatus(StatusTransferAborted, "Transfer aborted");
        // The server says the data did not all arrive, whatever success follows: the bytes
        // received stay in the stream for a resume, but the transfer has failed.
        throw ENetProtocolReplyError(failure.NumericCode(), failure.TextWithLineEnds());
    }
}

void TNetFTP::runTransfer(const std::function<void()>& moveData) {
    CallGuard guard(*this);
    abortRequested = false;
    ReportStatus(StatusTransferStarting, "Starting FTP transfer");
    try {
        moveData();
        releaseDataConnection();
    } catch (...) {
        // A refusal of the command was its final reply: nothing more is read.
        releaseDataConnection();
        ReportStatus(StatusReady, "Transfer complete");
        throw;
    }
    ReportStatus(StatusReady, "Transfer complete");
    readFinalReply();
}

void TNetFTP::ReceiveOverData(const std::string& command, TNetStream& stream, bool resume) {
    runTransfer([&] {
        if (Passive) {
            openPassiveData({});
            if (resume) SendCommand("REST " + std::to_string(stream.Position()), {350});
            WriteLine(command);
            ReadReply({125, 150, 154});
            secureDataConnection();
            dataConnection->ReadToStream(stream);
        } else {
            TNetSimpleServer& server = listenActiveData();
            if (resume) SendCommand("REST " + std::to_string(stream.Position()), {350});
            // The preliminary reply comes before the server connects to us.
            SendCommand(command, {125, 150, 154});
            server.AcceptOne();
            secureDataConnection();
            dataConnection->ReadToStream(stream);
        }
    });
}

void TNetFTP::SendOverData(const std::string& command, TNetStream& stream, bool fromStart) {
    auto writeData = [&] {
        secureDataConnection();
        try {
            dataConnection->WriteFromStream(stream, fromStart);
        } catch (const ENetSocketError& e) {
            // An abort closed the socket under the running send.
            if (e.SocketErrorNumber != 10038 && !abortRequested) throw;
        } catch (const ENetException&) {
            if (!abortRequested) throw;
        }
    };
    // Closing the data connection afterwards is what tells the server the upload is complete.
    runTransfer([&] {
        if (Passive) {
            // In this direction the command goes first, then the data connection is opened.
            openPassiveData(command);
            ReadReply({110, 125, 150});
        } else {
            TNetSimpleServer& server = listenActiveData();
            SendCommand(command, {125, 150});
            server.AcceptOne();
        }
        writeData();
    });
}

void TNetFTP::RetrieveToStream(const std::string& remoteName, TNetStream& stream, bool resume) {
    // ASCII transfers change line ends on the way, so the local bytes are not the server's:
    // neither a digest nor a size can be compared for them.
    if (transferType == ftASCII) {
        if (resume) {
            // Servers count a restart offset in ASCII mode in their own line ends, which this
            // side cannot know (some refuse REST in ASCII mode outright); the only sure way is
            // the whole file again. A marker a caller set already is cleared first.
            SendCommand("REST 0", -1);
            ReportStatus(TNetStatus::StatusText, kAsciiResumeText);
            stream.SetSize(0);
            stream.SetPosition(0);
        }
        TNetAsciiReceiveStream converted(stream);
        ReceiveOverData("RETR " + remoteName, converted, false);
        converted.Finish();
    } else {
        resume = resume && ProbeResume();
        TNetTransferCheck check(*this, remoteName, stream, true, !resume || stream.Position() == 0);
        ReceiveOverData("RETR " + remoteName, check.Stream(), resume);
        check.Finish();
    }
    if (OnAfterGet) OnAfterGet(this, stream);
}

void TNetFTP::Retrieve(const std::string& remoteName, const std::string& localFileName,
                       bool canOverwrite, bool resume) {
    std::unique_ptr<TNetFileStream> file;
    std::error_code ec;
    if (std::filesystem::exists(localFileName, ec)) {
        // An ASCII resume is always possible: it becomes a whole download (RetrieveToStream).
        resume = resume && (transferType == ftASCII || ProbeResume());
        if (canOverwrite && !resume) {
            file = std::make_unique<TNetFileStream>(localFileName, TNetFileMode::fmCreate);
        } else if (!canOverwrite && resume) {
            file = std::make_unique<TNetFileStream>(localFileName, TNetFileMode::fmOpenReadWrite);
            file->SetPosition(file->Size());
        } else {
            throw ENetFTPFileAlreadyExists();
        }
    } else {
        file = std::make_unique<TNetFileStream>(localFileName, TNetFileMode::fmCreate);
        resume = false;
    }
    RetrieveToStream(remoteName, *file, resume);
}

void TNetFTP::Store(TNetStream& stream, const std::string& remoteName, bool append) {
    if (transferType == ftASCII) {
        // The converted stream starts where the source stands; a whole upload starts at 0.
        // Its bytes are not the stored file's, so nothing is verified.
        if (!append) stream.SetPosition(0);
        TNetAsciiSendStream converted(stream);
        if (remoteName.empty())
            SendOverData("STOU ", converted, true);
        else if (append)
            SendOverData("APPE " + remoteName, converted, false);
        else
            SendOverData("STOR " + remoteName, converted, true);
        return;
    }
    // STOU names the file itself: only the stored name could be checked, so it is not.
    TNetTransferCheck check(*this, remoteName, stream, false, !append);
    if (remoteName.empty())
        SendOverData("STOU ", check.Stream(), true);
    else if (append)
        SendOverData("APPE " + remoteName, check.Stream(), false);
    else
        SendOverData("STOR " + remoteName, check.Stream(), true);
    check.Finish();
}

void TNetFTP::StoreFile(const std::string& localFileName, const std::string& remoteName,
                        bool append) {
    TNetFileStream file(localFileName, TNetFileMode::fmOpenRead);
    Store(file, remoteName, append);
}
