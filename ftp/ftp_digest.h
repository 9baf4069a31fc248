// Verified transfers: a digest computed while the bytes pass, the server's digest of the file
// (HASH or the X commands), and the size check where the server offers no digest.
#pragma once

#include "ftp/net_stream.h"
#include "ftp/socket/net_exception.h"

#include <memory>
#include <string>

enum TNetDigestAlgorithm { daNone = 0, daCRC32, daMD5, daSHA1, daSHA256 };

// A transfer whose bytes do not match the server's file; the message says how.
class ENetTransferVerifyError : public ENetException {
public:
    using ENetException::ENetException;
};

// One running digest of the algorithm (CRC-32 through zlib, the others through OpenSSL).
class TNetDigest {
public:
    explicit TNetDigest(TNetDigestAlgorithm algorithm);
    ~TNetDigest();
    TNetDigest(const TNetDigest&) = delete;
    TNetDigest& operator=(const TNetDigest&) = delete;

    void Update(const void* data, int64_t count);
    // Returns the digest in lower-case hex; the digest cannot be updated afterwards.
    std::string HexResult();
    TNetDigestAlgorithm Algorithm() const { return algorithm; }

private:
    TNetDigestAlgorithm algorithm;
    void* md = nullptr; // EVP_MD_CTX
    unsigned long crc = 0;
};

// Returns the name used in HASH ("SHA-256") and the hex length of a digest.
const char* NetDigestName(TNetDigestAlgorithm algorithm);
int NetDigestHexLength(TNetDigestAlgorithm algorithm);

class TNetDigestWorker;

// Passes reads and writes through to an inner stream and feeds every byte that passes to a
// hasher, so that a transfer is hashed without a second read of the file.
class TNetDigestStream : public TNetStream {
public:
    TNetDigestStream(TNetStream& inner, TNetDigestWorker* digest) : inner(inner), digest(digest) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Size() const override { return inner.Size(); }
    int64_t Position() const override { return inner.Position(); }
    void SetPosition(int64_t position) override { inner.SetPosition(position); }
    void SetSize(int64_t size) override { inner.SetSize(size); }
    // Bytes that went through Read or Write.
    int64_t Passed() const { return passed; }

private:
    TNetStream& inner;
    TNetDigestWorker* digest;
    int64_t passed = 0;
};
