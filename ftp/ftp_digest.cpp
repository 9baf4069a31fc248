// TNetFTP: verified transfers and kept file times, run around every file transfer by
// TNetTransferCheck.

#include "ftp/ftp_digest.h"

#include "ftp/digest_worker.h"

#include "ftp/ftp.h"
#include "ftp/list_parser.h"

#include <cctype>
#include <ctime>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <zlib.h>

namespace {

const EVP_MD* mdOf(TNetDigestAlgorithm a) {
    switch (a) {
    case daMD5:
        return EVP_md5();
    case daSHA1:
        return EVP_sha1();
    case daSHA256:
        return EVP_sha256();
    default:
        return nullptr;
    }
}

// The strongest digest the server offers: HASH with one of its algorithms, or an X command.
struct DigestChoice {
    TNetDigestAlgorithm algorithm = daNone;
    std::string command; // "HASH" or "XSHA256" ...
};

DigestChoice chooseDigest(const TNetFtpFeatures& features) {
    static const TNetDigestAlgorithm order[] = {daSHA256, daSHA1, daMD5, daCRC32};
    if (features.Has("HASH")) {
        const std::string offered = NetUpperCase(features.Parameters("HASH")) + ";";
        for (auto a : order) {
            const std::string name = NetDigestName(a);
            if (offered.find(name + ";") != std::string::npos ||
                offered.find(name + "*;") != std::string::npos)
                return {a, "HASH"};
        }
    }
    static const std::pair<TNetDigestAlgorithm, const char*> xCommands[] = {
        {daSHA256, "XSHA256"}, {daSHA1, "XSHA1"}, {daMD5, "XMD5"}, {daCRC32, "XCRC"}};
    for (const auto& [a, command] : xCommands)
        if (features.Has(command)) return {a, command};
    return {};
}

bool isHexRun(const std::string& s) {
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
    return !s.empty();
}

std::string lower(std::string s) {
    for (auto& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

time_t utcSeconds(const TNetDateTime& t) {
    std::tm tm{};
    tm.tm_year = t.Year - 1900;
    tm.tm_mon = t.Month - 1;
    tm.tm_mday = t.Day;
    tm.tm_hour = t.Hour;
    tm.tm_min = t.Minute;
    tm.tm_sec = t.Second;
    return timegm(&tm);
}

bool selectHash(TNetFTP& ftp, TNetDigestAlgorithm a) {
    // The server's current algorithm is marked with "*"; select ours when it differs.
    const std::string name = NetDigestName(a);
    const std::string offered = NetUpperCase(ftp.Features.Parameters("HASH")) + ";";
    if (ftp.Features.HashSelected == name || offered.find(name + "*;") != std::string::npos)
        return true;
    if (ftp.SendCommand("OPTS HASH " + name, -1) != 200) return false;
    ftp.Features.HashSelected = name;
    return true;
}

} // namespace

const char* NetDigestName(TNetDigestAlgorithm a) {
    switch (a) {
    case daCRC32:
        return "CRC32";
    case daMD5:
        return "MD5";
    case daSHA1:
        return "SHA-1";
    case daSHA256:
        return "SHA-256";
    default:
        return "";
    }
}

int NetDigestHexLength(TNetDigestAlgorithm a) {
    switch (a) {
    case daCRC32:
        return 8;
    case daMD5:
        return 32;
    case daSHA1:
        return 40;
    case daSHA256:
        return 64;
    default:
        return 0;
    }
}

TNetDigest::TNetDigest(TNetDigestAlgorithm algorithm) : algorithm(algorithm) {
    if (const EVP_MD* type = mdOf(algorithm)) {
        md = EVP_MD_CTX_new();
        EVP_DigestInit_ex(static_cast<EVP_MD_CTX*>(md), type, nullptr);
    }
    crc = crc32(0L, Z_NULL, 0);
}

TNetDigest::~TNetDigest() {
    EVP_MD_CTX_free(static_cast<EVP_MD_CTX*>(md));
}

void TNetDigest::Update(const void* data, int64_t count) {
    if (count <= 0) return;
    if (md) {
        EVP_DigestUpdate(static_cast<EVP_MD_CTX*>(md), data, static_cast<size_t>(count));
        return;
    }
    if (algorithm != daCRC32) return;
    const auto* bytes = static_cast<const Bytef*>(data);
    while (count > 0) {
        const uInt piece = static_cast<uInt>(std::min<int64_t>(count, 1 << 30));
        crc = crc32(crc, bytes, piece);
        bytes += piece;
        count -= piece;
    }
}

std::string TNetDigest::HexResult() {
    static const char* hex = "0123456789abcdef";
    std::string out;
    if (md) {
        unsigned char value[EVP_MAX_MD_SIZE];
        unsigned int length = 0;
        EVP_DigestFinal_ex(static_cast<EVP_MD_CTX*>(md), value, &length);
        for (unsigned int i = 0; i < length; ++i) {
            out += hex[value[i] >> 4];
            out += hex[value[i] & 15];
        }
        return out;
    }
    if (algorithm != daCRC32) return {};
    for (int shift = 28; shift >= 0; shift -= 4)
        out += hex[(crc >> shift) & 15];
    return out;
}

int64_t TNetDigestStream::Read(void* buffer, int64_t count) {
    int64_t got = inner.Read(buffer, count);
    if (digest) digest->Feed(buffer, got);
    if (got > 0) passed += got;
    return got;
}

int64_t TNetDigestStream::Write(const void* buffer, int64_t count) {
    int64_t written = inner.Write(buffer, count);
    if (digest) digest->Feed(buffer, written);
    if (written > 0) passed += written;
    return written;
}

TNetTransferCheck::TNetTransferCheck(TNetFTP& ftp, const std::string& remoteName,
                                     TNetStream& stream, bool download, bool whole)
    : ftp(ftp), remoteName(remoteName), stream(stream), download(download), whole(whole) {
    ftp.LastVerification.clear();
    const bool binary = ftp.TransferType() == ftBinary;
    // An append adds to what the server had: neither digest nor size can be compared.
    verify = ftp.VerifyTransfers && binary && !remoteName.empty() && (download || whole);
    if (verify && whole) {
        DigestChoice choice = chooseDigest(ftp.Features);
        command = choice.command;
        // The algorithm is chosen before the transfer: a server that hashes the bytes as they
        // pass then answers HASH at once, instead of reading the whole file again. A refusal
        // leaves the size to compare.
        if (command == "HASH" && !selectHash(ftp, choice.algorithm)) choice.algorithm = daNone;
        // With one processor a hasher beside the transfer only takes turns with it, and every
        // byte is hashed before the server is asked; hashed from the file afterwards, the
        // bytes are hashed while the server hashes its copy.
        if (choice.algorithm != daNone && download && dynamic_cast<TNetFileStream*>(&stream) &&
            !TNetDigestWorker::SpareProcessor())
            hashFileAfter = choice.algorithm;
        else if (choice.algorithm != daNone)
            digest = std::make_unique<TNetDigestWorker>(choice.algorithm);
    }
    start = stream.Position();
    passing = std::make_unique<TNetDigestStream>(stream, digest.get());
}

TNetTransferCheck::~TNetTransferCheck() = default;

TNetStream& TNetTransferCheck::Stream() {
    return *passing;
}

std::string TNetTransferCheck::serverDigest() {
    const TNetDigestAlgorithm a = digest->Algorithm();
    if (command == "HASH") {
        if (ftp.SendCommand("HASH " + remoteName, -1) != 213) return {};
    } else {
        const int code = ftp.SendCommand(command + " " + remoteName, -1);
        if (code != 213 && code != 250) return {};
    }
    // "213 SHA-256 0-1234 <hex> name" or "250 <hex>": the hex run of the digest's length.
    // Some servers say "Computing..." on a first line: the digest may be on any line.
    for (std::string text : ftp.LastReply.Text) {
        while (!text.empty()) {
            std::string word = TakeToken(text, " ");
            if (static_cast<int>(word.size()) == NetDigestHexLength(a) && isHexRun(word))
                return lower(word);
        }
    }
    return "?";
}

void TNetTransferCheck::Finish() {
    // An aborted transfer is incomplete on purpose; what arrived is kept as it is.
    if (ftp.TransferAborted()) return;
    if (verify) {
        if (hashFileAfter != daNone) {
            digest = std::make_unique<TNetDigestWorker>(
                static_cast<TNetDigestAlgorithm>(hashFileAfter), size_t(1) << 20, 2);
            digest->HashFile(static_cast<TNetFileStream&>(stream).FileName(), start,
                             passing->Passed());
        }
        if (digest) {
            // The server hashes its file while the last bytes here are still being hashed.
            digest->Close();
            const std::string theirs = serverDigest();
            const std::string name = NetDigestName(digest->Algorithm());
            if (theirs == "?")
                throw ENetTransferVerifyError("The server's " + name + " reply for " + remoteName +
                                              " holds no digest.");
            if (theirs.empty()) {
                // The server gave no digest: the local one has nothing to meet, and its hasher
                // (maybe still reading the whole file) is stopped.
                digest.reset();
            } else {
                const std::string mine = digest->HexResult();
                if (theirs != mine)
                    throw ENetTransferVerifyError(
                        "Transfer of " + remoteName + " failed verification: the server's " + name +
                        " is " + theirs + ", the " + (download ? "received" : "sent") +
                        " bytes give " + mine + ".");
                ftp.LastVerification = name + " " + mine;
                ftp.ReportStatus(TNetStatus::StatusText,
                                 "Verified " + remoteName + ": " + ftp.LastVerification);
            }
        }
        // A server that lists its features without SIZE is not asked for sizes.
        const bool sizes = !ftp.Features.Listed || ftp.Features.Has("SIZE");
        if (ftp.LastVerification.empty() && sizes) {
            // No digest: the server's size of the file must be the size we now have.
            const int64_t theirs = ftp.FileSize(remoteName);
            const int64_t mine = stream.Size();
            if (theirs >= 0 && theirs != mine)
                throw ENetTransferVerifyError("Transfer of " + remoteName +
                                              " failed verification: the server has " +
                                              std::to_string(theirs) + " bytes, the local copy " +
                                              std::to_string(mine) + ".");
            if (theirs >= 0) ftp.LastVerification = "size " + std::to_string(mine);
        }
    }
    if (ftp.KeepFileTimes) keepTime();
}

void TNetTransferCheck::keepTime() {
    auto* file = dynamic_cast<TNetFileStream*>(&stream);
    if (!file || remoteName.empty()) return;
    if (download) {
        TNetDateTime t;
        if (!ftp.FileTime(remoteName, t)) return;
        timespec times[2];
        times[0].tv_sec = times[1].tv_sec = utcSeconds(t);
        times[0].tv_nsec = times[1].tv_nsec = 0;
        ::utimensat(AT_FDCWD, file->FileName().c_str(), times, 0);
    } else {
        struct stat st {};
        if (::stat(file->FileName().c_str(), &st) != 0) return;
        std::tm tm{};
        gmtime_r(&st.st_mtime, &tm);
        TNetDateTime t = WithNetTime(EncodeNetDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday),
                                     tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), 0);
        ftp.SetFileTime(remoteName, t);
    }
}
