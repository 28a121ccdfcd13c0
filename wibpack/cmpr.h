// cmpr: compression of data blocks and whole files with zlib.
//
// Two methods, numbered like the compressions of wibio: 2 is the gzip format
// (RFC 1952, header and trailer), 3 the zlib format (RFC 1950), also for
// names ending in ".Z".  Data move in chunks of CMPR_CHUNK bytes, so memory
// use is bounded by two chunks and zlib's own state.
//
// Every function returns 0 on success and -1 on failure; *pconverted (if
// given) receives the number of bytes produced, *perrval (if given) 0 or the
// failure number: zlib's return codes -1 (also read or write errors of the
// streams and buffers that are too short), -2, -3 (also a stream that does
// not end properly), -4, -6.  Failures print "cmpr_<function>: <text>
// (<version>)" on standard error.
#ifndef WIBPACK_CMPR_H
#define WIBPACK_CMPR_H

#include <cstddef>
#include <cstdio>

#define CMPR_CHUNK 16384
#define CMPR_DEF_MEM_LEVEL 8

// Compression methods (the numbers of wibio's compressions).
enum CmprMethod { CmprNone = 1, CmprGzip = 2, CmprZlib = 3 };

// Memory inp (inplen bytes) to memory out (at most outlen bytes).  An empty
// input succeeds with 0 bytes; output that does not fit fails with -1.
int cmpr_deflate(void* out, size_t outlen, const void* inp, size_t inplen, int cmpr_method,
                 size_t* pconverted, int* perrval);
// Stream inp up to its end to stream outp.
int cmpr_deflatefile(FILE* outp, FILE* inp, int cmpr_method, size_t* pconverted, int* perrval);
// At most inplen bytes of stream inp from its current position to memory
// out (at most outlen bytes).  Bytes after the end of the compressed stream
// are never read beyond the chunk that holds the end.
int cmpr_frinflate(void* out, size_t outlen, FILE* inp, size_t inplen, int cmpr_method,
                   size_t* pconverted, int* perrval);
// Stream inp up to its end to stream outp; a truncated input yields what
// could be decompressed, without an error.
int cmpr_inflatefile(FILE* outp, FILE* inp, int cmpr_method, size_t* pconverted, int* perrval);
// Memory to memory.
int cmpr_inflate(void* out, size_t outlen, const void* inp, size_t inplen, int cmpr_method,
                 size_t* pconverted, int* perrval);

// Method of a file name extension: 3 when it starts with 'z' or 'Z', 2 when
// it starts with "gz" in any case, else 1 (no compression).
int cmpr_checkextension(const char* extension);
// cmpr_checkextension of the text after the last '.' of the file name.
int cmpr_checkfiletype(const char* filename);
// The file name without a compression extension, with ".gz" appended for
// method 2 and ".Z" for method 3, cut to buflen - 1 characters; returns
// buffer, or null for a null or empty buffer.
char* cmpr_filename(char* buffer, size_t buflen, const char* filename, int cmpr);

// Text of a failure number ("" for others).
const char* cmpr_errval2string(int errval);
// "cmpr : V1.4 Orrin 2012-06-26 -- zlib : <version of the linked zlib>"
const char* cmpr_version(void);
void cmpr_debug(int debug);

#endif
