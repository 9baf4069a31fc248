// What the server said it can do: the FEAT reply of the current login, and the protocol
// choices a site makes about security, listings, file times and verification.
#pragma once

#include <functional>
#include <string>
#include <vector>

class TNetRFCReply;

// The FEAT reply of one login, one feature per line ("MLST type*;size*;", "UTF8", "EPSV").
class TNetFtpFeatures {
public:
    // True once FEAT was asked in this login (whatever the answer).
    bool Asked = false;
    // True when the server answered 211 with a list.
    bool Listed = false;
    std::vector<std::string> Lines;
    // The HASH algorithm selected with OPTS HASH in this login ("" while the server's own,
    // marked with "*", is in use): it holds for the login, so it is sent once.
    std::string HashSelected;

    // Forgets everything (a new login asks again).
    void Clear();
    // Takes the features of a 211 reply; any other reply leaves the list empty.
    void Load(int code, const TNetRFCReply& reply);
    // Returns true when a line's first word is name (case-insensitive).
    bool Has(const std::string& name) const;
    // Returns what follows the name on its line ("" when absent or bare).
    std::string Parameters(const std::string& name) const;
};

// How a site secures its connections.
enum TNetFtpEncryption {
    feNone = 0,
    // AUTH TLS is asked; a refusal continues in plain FTP.
    feTlsIfAvailable = 1,
    // AUTH TLS is required.
    feExplicitTls = 2,
    // TLS from the first byte (port 990 by default).
    feImplicitTls = 3,
};

// What the user is shown about a certificate that failed the checks.
struct TNetCertificateInfo {
    std::string Host;
    int Port = 0;
    std::string Subject;
    std::string Issuer;
    std::string ValidFrom;
    std::string ValidUntil;
    // SHA-256 of the DER certificate, upper-case hex pairs joined by ':'.
    std::string Fingerprint;
    // Why the checks failed, in words.
    std::string Problem;
};

enum TNetTrustAnswer { taCancel = 0, taTrustOnce = 1, taAlwaysTrust = 2 };

// Asked when a certificate fails the checks; the answer decides whether the connection goes on.
using TNetCertificateEvent = std::function<TNetTrustAnswer(const TNetCertificateInfo& info)>;

// Returns fingerprint in the canonical form (upper case, ':' between pairs); accepts plain hex
// or already separated text. Returns "" when it is not 32 bytes of hex.
std::string NetCanonicalFingerprint(const std::string& fingerprint);
