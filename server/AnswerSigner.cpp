#include "AnswerSigner.h"

#include <fcntl.h>
#include <openssl/bio.h>
#include <openssl/core_names.h>
#include <openssl/ec.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "util/SignedAnswer.h"

namespace nightjar::server {

namespace {

std::string openSslError() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) {
        return "unknown error";
    }
    char buf[256];
    ERR_error_string_n(code, buf, sizeof buf);
    return buf;
}

bool isP256(EVP_PKEY* key) {
    if (EVP_PKEY_get_base_id(key) != EVP_PKEY_EC) {
        return false;
    }
    char group[64] = {};
    std::size_t length = 0;
    return EVP_PKEY_get_group_name(key, group, sizeof group, &length) == 1 &&
           std::string_view(group, length) == SN_X9_62_prime256v1;
}

// An encrypted key would otherwise make OpenSSL ask for a passphrase on the terminal.
int noPassphrase(char* /*buf*/, int /*size*/, int /*rwflag*/, void* /*u*/) {
    return -1;
}

/// Creates `path` (refusing an existing file) and writes `text` to it.
bool writeNewFile(const std::string& path, const std::string& text, mode_t mode,
                  std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0) {
        error = errno == EEXIST ? path + " exists already; not overwritten"
                                : "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        written += static_cast<std::size_t>(n);
    }
    const bool ok = written == text.size() && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !ok) {
        error = "cannot write " + path + ": " + std::strerror(errno);
        ::unlink(path.c_str());
        return false;
    }
    return true;
}

}  // namespace

AnswerSigner::AnswerSigner(evp_pkey_st* key) : key_(key) {}

AnswerSigner::~AnswerSigner() {
    EVP_PKEY_free(key_);
}

std::unique_ptr<AnswerSigner> AnswerSigner::load(const std::string& path, std::string& error) {
    BIO* file = BIO_new_file(path.c_str(), "rb");
    if (file == nullptr) {
        ERR_clear_error();
        error = "cannot read " + path + ": " + std::strerror(errno);
        return nullptr;
    }
    EVP_PKEY* key = PEM_read_bio_PrivateKey(file, nullptr, noPassphrase, nullptr);
    BIO_free(file);
    if (key == nullptr) {
        error = path + " holds no unencrypted PEM private key (" + openSslError() + ")";
        return nullptr;
    }
    if (!isP256(key)) {
        EVP_PKEY_free(key);
        error = path + " is not an ECDSA P-256 key";
        return nullptr;
    }
    return std::unique_ptr<AnswerSigner>(new AnswerSigner(key));
}

std::unique_ptr<AnswerSigner> AnswerSigner::generate(const std::string& path, std::string& error) {
    EVP_PKEY* key = EVP_EC_gen(SN_X9_62_prime256v1);
    if (key == nullptr) {
        error = "cannot make a key: " + openSslError();
        return nullptr;
    }
    std::unique_ptr<AnswerSigner> signer(new AnswerSigner(key));
    BIO* pem = BIO_new(BIO_s_mem());
    std::string pemText;
    if (pem != nullptr &&
        PEM_write_bio_PrivateKey(pem, key, nullptr, nullptr, 0, nullptr, nullptr) == 1) {
        char* data = nullptr;
        const long length = BIO_get_mem_data(pem, &data);
        pemText.assign(data, static_cast<std::size_t>(length));
    }
    BIO_free(pem);
    const std::string publicLine = signer->publicKey();
    if (pemText.empty() || publicLine.empty()) {
        error = "cannot encode the key: " + openSslError();
        return nullptr;
    }
    const std::string publicPath = path + ".pub";
    for (const std::string* existing : {&path, &publicPath}) {
        if (::access(existing->c_str(), F_OK) == 0) {
            error = *existing + " exists already; not overwritten";
            return nullptr;
        }
    }
    // Only the owner may read the private key; the public one is meant to be handed out.
    if (!writeNewFile(path, pemText, 0600, error)) {
        return nullptr;
    }
    if (!writeNewFile(publicPath, publicLine + "\n", 0644, error)) {
        ::unlink(path.c_str());
        return nullptr;
    }
    return signer;
}

std::string AnswerSigner::publicKey() const {
    unsigned char* der = nullptr;
    const int length = i2d_PUBKEY(key_, &der);
    if (length <= 0) {
        ERR_clear_error();
        return {};
    }
    std::string text = signing::base64Encode(
        std::string_view(reinterpret_cast<const char*>(der), static_cast<std::size_t>(length)));
    OPENSSL_free(der);
    return text;
}

std::optional<std::string> AnswerSigner::sign(std::string_view requestTarget,
                                              std::string_view body) const {
    const std::string message = signing::signedMessage(requestTarget, body);
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    std::vector<unsigned char> signature;
    std::size_t length = 0;
    bool ok =
        context != nullptr &&
        EVP_DigestSignInit(context, nullptr, EVP_sha256(), nullptr, key_) == 1 &&
        EVP_DigestSign(context, nullptr, &length,
                       reinterpret_cast<const unsigned char*>(message.data()), message.size()) == 1;
    if (ok) {
        signature.resize(length);
        ok = EVP_DigestSign(context, signature.data(), &length,
                            reinterpret_cast<const unsigned char*>(message.data()),
                            message.size()) == 1;
    }
    EVP_MD_CTX_free(context);
    if (!ok) {
        ERR_clear_error();
        return std::nullopt;
    }
    return signing::base64Encode(
        std::string_view(reinterpret_cast<const char*>(signature.data()), length));
}

}  // namespace nightjar::server
