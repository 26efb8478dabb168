#include "render/Sha256.hpp"

#include <openssl/evp.h>

Sha256::Sha256() : context(EVP_MD_CTX_new()) {}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context);
}

void Sha256::begin()
{
    EVP_DigestInit_ex(context, EVP_sha256(), nullptr);
}

void Sha256::add(const void* data, std::size_t size)
{
    EVP_DigestUpdate(context, data, size);
}

void Sha256::finish(char* hex)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context, digest, &length);
    static const char digits[] = "0123456789abcdef";
    for (unsigned int i = 0; i < length; ++i)
    {
        hex[2 * i] = digits[digest[i] >> 4];
        hex[2 * i + 1] = digits[digest[i] & 15];
    }
    hex[2 * length] = '\0';
}

std::string Sha256::of(const std::string& message)
{
    Sha256 hash;
    hash.begin();
    hash.add(message.data(), message.size());
    char hex[65];
    hash.finish(hex);
    return hex;
}
