// SPDX-License-Identifier: GPL-3.0-or-later
#include "crypto/cmssignature.h"

#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/err.h>
#include <openssl/ts.h>
#include <openssl/x509.h>

#include <climits>
#include <ctime>
#include <memory>

namespace {

template <class T, void (*Free)(T*)> struct Deleter {
    void operator()(T* p) const { Free(p); }
};
using CmsPtr = std::unique_ptr<CMS_ContentInfo, Deleter<CMS_ContentInfo, CMS_ContentInfo_free>>;
using X509Ptr = std::unique_ptr<X509, Deleter<X509, X509_free>>;
using TstInfoPtr = std::unique_ptr<TS_TST_INFO, Deleter<TS_TST_INFO, TS_TST_INFO_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;

void FreeCertificates(STACK_OF(X509) * certificates) {
    sk_X509_pop_free(certificates, X509_free);
}
using CertificatesPtr = std::unique_ptr<STACK_OF(X509), Deleter<STACK_OF(X509), FreeCertificates>>;

// What a failed decode left in the thread's error queue would otherwise be blamed on the next
// libcrypto call.
struct ClearErrors {
    ~ClearErrors() { ERR_clear_error(); }
};

std::time_t Time(const ASN1_TIME* time) {
    std::tm tm{};
    if (!time || ASN1_TIME_to_tm(time, &tm) != 1)
        return 0;
    const std::time_t seconds = timegm(&tm);
    return seconds == std::time_t(-1) ? 0 : seconds;
}

std::string SubjectName(X509* certificate) {
    const X509_NAME* subject = X509_get_subject_name(certificate);
    if (!subject)
        return {};
    // The last common name is the most specific one.
    int last = -1;
    for (int i = -1; (i = X509_NAME_get_index_by_NID(subject, NID_commonName, i)) >= 0;)
        last = i;
    if (last >= 0) {
        unsigned char* utf8 = nullptr;
        const int n = ASN1_STRING_to_UTF8(
            &utf8, X509_NAME_ENTRY_get_data(X509_NAME_get_entry(subject, last)));
        if (n < 0)
            return {};
        std::string name(reinterpret_cast<const char*>(utf8), size_t(n));
        OPENSSL_free(utf8);
        return name;
    }
    const BioPtr bio(BIO_new(BIO_s_mem()));
    if (!bio ||
        X509_NAME_print_ex(bio.get(), subject, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return {};
    char* text = nullptr;
    const long n = BIO_get_mem_data(bio.get(), &text);
    return n > 0 ? std::string(text, size_t(n)) : std::string();
}

// The time in the TSTInfo that a time-stamp token signs.
std::time_t TimeStampTime(CMS_ContentInfo* token) {
    ASN1_OCTET_STRING** content = CMS_get0_content(token);
    if (!content || !*content)
        return 0;
    const unsigned char* p = ASN1_STRING_get0_data(*content);
    const TstInfoPtr info(d2i_TS_TST_INFO(nullptr, &p, ASN1_STRING_length(*content)));
    return info ? Time(TS_TST_INFO_get_time(info.get())) : 0;
}

} // namespace

CmsSignatureFacts ReadCmsSignature(std::string_view der) {
    const ClearErrors clear;
    CmsSignatureFacts facts;
    if (der.empty() || der.size() > kMaxCmsBytes)
        return facts;
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    const CmsPtr cms(d2i_CMS_ContentInfo(nullptr, &p, long(der.size())));
    if (!cms)
        return facts;
    facts.parsed = true;
    const bool isTimeStamp =
        OBJ_obj2nid(CMS_get0_eContentType(cms.get())) == NID_id_smime_ct_TSTInfo;
    STACK_OF(CMS_SignerInfo)* signers = CMS_get0_SignerInfos(cms.get());
    if (!signers || sk_CMS_SignerInfo_num(signers) == 0)
        return facts;
    CMS_SignerInfo* signer = sk_CMS_SignerInfo_value(signers, 0);
    const CertificatesPtr certificates(CMS_get1_certs(cms.get()));
    for (int i = 0; certificates && i < sk_X509_num(certificates.get()); ++i)
        if (X509* c = sk_X509_value(certificates.get(), i);
            CMS_SignerInfo_cert_cmp(signer, c) == 0) {
            facts.signer = SubjectName(c);
            break;
        }
    if (const int at = CMS_signed_get_attr_by_NID(signer, NID_pkcs9_signingTime, -1); at >= 0) {
        const ASN1_TYPE* value = X509_ATTRIBUTE_get0_type(CMS_signed_get_attr(signer, at), 0);
        if (value && (value->type == V_ASN1_UTCTIME || value->type == V_ASN1_GENERALIZEDTIME))
            facts.signedAt = Time(value->value.utctime);
    }
    facts.timestamp = isTimeStamp ||
                      CMS_unsigned_get_attr_by_NID(signer, NID_id_smime_aa_timeStampToken, -1) >= 0;
    if (isTimeStamp && facts.signedAt == 0)
        facts.signedAt = TimeStampTime(cms.get());
    return facts;
}

std::string CertificateSubjectName(std::string_view der) {
    const ClearErrors clear;
    if (der.empty() || der.size() > kMaxCmsBytes)
        return {};
    const auto* p = reinterpret_cast<const unsigned char*>(der.data());
    const X509Ptr certificate(d2i_X509(nullptr, &p, long(der.size())));
    return certificate ? SubjectName(certificate.get()) : std::string();
}
