#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

struct evp_md_ctx_st;

// SHA-256 through the system's crypto library (which uses the processor's hash instructions where
// it has them). One object hashes one message after another; it allocates only when made.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void begin();
    void add(const void* data, std::size_t size);
    // The digest of everything added since begin(), as 64 lower-case hex digits into `hex`
    // (65 bytes with the terminating zero).
    void finish(char* hex);

    // The digest of one whole message, in hex.
    static std::string of(const std::string& message);

private:
    evp_md_ctx_st* context;
};
