#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>

struct evp_pkey_st;

namespace nightjar::server {

/// Signs the server's answers with an ECDSA P-256 private key, so a client holding the
/// public key can tell them from answers made up on the way. Safe to use from many threads
/// at once.
class AnswerSigner {
  public:
    ~AnswerSigner();
    AnswerSigner(const AnswerSigner&) = delete;
    AnswerSigner& operator=(const AnswerSigner&) = delete;

    /// Loads a PEM private key; null with a reason when the file cannot be read, holds no
    /// unencrypted private key, or the key is not ECDSA P-256.
    static std::unique_ptr<AnswerSigner> load(const std::string& path, std::string& error);

    /// Makes a new key: the private key as PEM in `path` (mode 0600) and the public key line
    /// (publicKey() and a line feed) in `path` + ".pub". Neither file may exist already.
    /// Null with a reason on failure, and then neither file is left behind.
    static std::unique_ptr<AnswerSigner> generate(const std::string& path, std::string& error);

    /// The public key: base64 of its DER SubjectPublicKeyInfo, on one line.
    std::string publicKey() const;

    /// The value of the signature header for the answer `body` to `requestTarget`: base64
    /// of the DER signature over SHA-256 of the signed message. Nullopt when signing failed.
    std::optional<std::string> sign(std::string_view requestTarget, std::string_view body) const;

  private:
    explicit AnswerSigner(evp_pkey_st* key);

    evp_pkey_st* key_;
};

}  // namespace nightjar::server
