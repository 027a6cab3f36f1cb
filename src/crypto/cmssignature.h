// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What the CMS blob of a PDF signature says of itself: who signed and when. The blob is only
// read, through libcrypto's DER decoder; nothing is verified and no certificate is trusted.

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

// A blob is read up to this size: real signatures with their chain and revocation data take
// tens of KiB, a few hundred at most.
constexpr size_t kMaxCmsBytes = size_t(4) << 20;

struct CmsSignatureFacts {
    bool parsed = false; // the bytes are a CMS (PKCS #7) content info
    // The first signer's certificate, found among the blob's certificates by its issuer and
    // serial number or key identifier: its subject's common name, or the whole subject
    // (RFC 2253) when it has none. Empty when the blob holds no such certificate.
    std::string signer;
    // The signed signing-time attribute, or for a time-stamp token its time (seconds since the
    // epoch); 0 when neither is there.
    std::time_t signedAt = 0;
    // The blob is an RFC 3161 time-stamp token, or its signer carries one.
    bool timestamp = false;
};

// Reads a DER (or BER) ContentInfo; the zero bytes PDF writers pad it with may follow. Bytes
// that are no such structure, or more than kMaxCmsBytes, give parsed false.
CmsSignatureFacts ReadCmsSignature(std::string_view der);

// The subject's common name (else the whole subject) of a DER certificate; empty when the
// bytes are no certificate.
std::string CertificateSubjectName(std::string_view der);
