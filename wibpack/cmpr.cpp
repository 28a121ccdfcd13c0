// cmpr: gzip and zlib compression of memory blocks and streams, chunk by
// chunk, with zlib.
#include "wibpack/cmpr.h"

#include "wibpack/filename.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <string>

namespace {

int CMPR_debug = 0;

const char* const CmprVersionBase = "cmpr : V1.4 Orrin 2012-06-26 -- zlib : ";

// Sets the result fields and returns 0 or -1.
int finish(int errval, size_t converted, size_t* pconverted, int* perrval) {
  if (pconverted) *pconverted = converted;
  if (perrval) *perrval = errval;
  return errval ? -1 : 0;
}

// Prints the failure of function on standard error.
void report(const char* function, int errval) {
  fprintf(stderr, "%s: %s (%s)\n", function, cmpr_errval2string(errval), cmpr_version());
}

// Compression set-up of a method: 0 or zlib's error.
int deflate_setup(z_stream* strm, int method) {
  *strm = z_stream();  // no allocation functions: zlib's defaults
  switch (method) {
    case CmprGzip:
      return deflateInit2(strm, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, CMPR_DEF_MEM_LEVEL,
                          Z_DEFAULT_STRATEGY);
    case CmprZlib:
      return deflateInit(strm, Z_DEFAULT_COMPRESSION);
    default:
      return Z_ERRNO;
  }
}

int inflate_setup(z_stream* strm, int method) {
  *strm = z_stream();
  switch (method) {
    case CmprGzip:
      return inflateInit2(strm, 15 + 16);
    case CmprZlib:
      return inflateInit(strm);
    default:
      return Z_ERRNO;
  }
}

// Failure number of an inflate result that ends the work (0: go on).
int inflate_failure(int ret) {
  if (ret == Z_NEED_DICT) return Z_DATA_ERROR;
  if (ret == Z_DATA_ERROR || ret == Z_STREAM_ERROR || ret == Z_MEM_ERROR) return ret;
  return 0;
}

// Inflates into out (outlen bytes) what next_chunk delivers: next_chunk(buf)
// sets buf to the next piece of input and returns its length, 0 at the end,
// or -1 on a read error.  Output space is offered CMPR_CHUNK bytes at a
// time.  Once out is full, input is still fed so that the end of the stream
// (the trailer) can be taken; needing more output then is a failure (-1).
template <typename NextChunk>
int inflate_into(const char* function, unsigned char* out, size_t outlen, int method,
                 NextChunk next_chunk, size_t* pconverted, int* perrval) {
  z_stream strm;
  int errval = inflate_setup(&strm, method);
  if (errval) {
    if (errval == Z_ERRNO) errval = -1;
    report(function, errval);
    return finish(errval, 0, pconverted, perrval);
  }
  size_t produced = 0;
  int ret = Z_OK;
  bool overflow = false;
  while (ret != Z_STREAM_END && !overflow && !errval) {
    const unsigned char* chunk = nullptr;
    long n = next_chunk(chunk);
    if (n < 0) {
      errval = Z_ERRNO;
      break;
    }
    if (n == 0) break;
    strm.next_in = const_cast<Bytef*>(chunk);
    strm.avail_in = static_cast<uInt>(n);
    for (;;) {
      size_t room = std::min<size_t>(CMPR_CHUNK, outlen - produced);
      strm.next_out = out ? out + produced : reinterpret_cast<Bytef*>(&strm);
      strm.avail_out = static_cast<uInt>(room);
      ret = inflate(&strm, Z_NO_FLUSH);
      if ((errval = inflate_failure(ret))) break;
      produced += room - strm.avail_out;
      if (ret == Z_STREAM_END) break;
      if (ret == Z_BUF_ERROR) {  // no progress: more output or more input needed
        overflow = strm.avail_in > 0;
        break;
      }
      if (strm.avail_out != 0) break;  // the chunk is used up
    }
  }
  inflateEnd(&strm);
  if (!errval && ret != Z_STREAM_END) {
    if (overflow) {
      errval = Z_ERRNO;
    } else {
      fprintf(stderr, "inflate should report Z_STREAM_END\n");
      errval = Z_DATA_ERROR;
    }
  }
  if (errval) report(function, errval);
  return finish(errval, produced, pconverted, perrval);
}

}  // namespace

int cmpr_deflate(void* out, size_t outlen, const void* inp, size_t inplen, int cmpr_method,
                 size_t* pconverted, int* perrval) {
  if (!inp || inplen == 0) return finish(0, 0, pconverted, perrval);
  z_stream strm;
  int errval = deflate_setup(&strm, cmpr_method);
  if (errval) {
    if (errval == Z_ERRNO) errval = -1;
    report("cmpr_deflate", errval);
    return finish(errval, 0, pconverted, perrval);
  }
  if (!out) outlen = 0;
  const unsigned char* in = static_cast<const unsigned char*>(inp);
  unsigned char* o = static_cast<unsigned char*>(out);
  size_t consumed = 0, produced = 0;
  int ret = Z_OK;
  for (;;) {
    size_t chunk = std::min<size_t>(CMPR_CHUNK, inplen - consumed);
    int flush = inplen - consumed <= CMPR_CHUNK ? Z_FINISH : Z_NO_FLUSH;
    strm.next_in = const_cast<Bytef*>(in + consumed);
    strm.avail_in = static_cast<uInt>(chunk);
    while (produced < outlen) {
      size_t room = std::min<size_t>(CMPR_CHUNK, outlen - produced);
      strm.next_out = o + produced;
      strm.avail_out = static_cast<uInt>(room);
      ret = deflate(&strm, flush);
      if (ret != Z_OK && ret != Z_STREAM_END) break;
      produced += room - strm.avail_out;
      if (ret == Z_STREAM_END || strm.avail_out != 0) break;
    }
    consumed += chunk - strm.avail_in;
    if ((ret != Z_OK && ret != Z_STREAM_END) || flush == Z_FINISH || produced >= outlen) break;
  }
  deflateEnd(&strm);
  if (ret == Z_STREAM_END) return finish(0, produced, pconverted, perrval);
  if (ret != Z_OK) {
    errval = ret;
  } else if (consumed < inplen || produced >= outlen) {
    if (CMPR_debug) {
      printf(" cmpr_deflate: output buffer too short (%lu of %lu bytes used)\n",
             static_cast<unsigned long>(produced), static_cast<unsigned long>(outlen));
      printf("              %lu of %lu input bytes unprocessed.\n",
             static_cast<unsigned long>(inplen - consumed), static_cast<unsigned long>(inplen));
    }
    errval = Z_ERRNO;
  } else {
    fprintf(stderr, "deflate should report Z_STREAM_END\n");
    errval = Z_DATA_ERROR;
  }
  report("cmpr_deflate", errval);
  return finish(errval, produced, pconverted, perrval);
}

int cmpr_deflatefile(FILE* outp, FILE* inp, int cmpr_method, size_t* pconverted, int* perrval) {
  z_stream strm;
  int errval = (outp && inp) ? deflate_setup(&strm, cmpr_method) : Z_ERRNO;
  if (errval) {
    if (errval == Z_ERRNO) errval = -1;
    else deflateEnd(&strm);
    report("cmpr_deflatefile", errval);
    return finish(errval, 0, pconverted, perrval);
  }
  std::string inbuf(CMPR_CHUNK, '\0'), outbuf(CMPR_CHUNK, '\0');
  size_t produced = 0;
  int ret = Z_OK, flush = Z_NO_FLUSH;
  do {
    size_t n = fread(&inbuf[0], 1, CMPR_CHUNK, inp);
    if (ferror(inp)) {
      errval = Z_ERRNO;
      break;
    }
    flush = feof(inp) ? Z_FINISH : Z_NO_FLUSH;
    strm.next_in = reinterpret_cast<Bytef*>(&inbuf[0]);
    strm.avail_in = static_cast<uInt>(n);
    do {
      strm.next_out = reinterpret_cast<Bytef*>(&outbuf[0]);
      strm.avail_out = CMPR_CHUNK;
      ret = deflate(&strm, flush);
      if (ret == Z_STREAM_ERROR) {
        errval = Z_STREAM_ERROR;
        break;
      }
      size_t have = CMPR_CHUNK - strm.avail_out;
      if (have && (fwrite(outbuf.data(), 1, have, outp) != have || ferror(outp))) {
        errval = Z_ERRNO;
        break;
      }
      produced += have;
    } while (strm.avail_out == 0);
    if (!errval && strm.avail_in != 0) errval = Z_ERRNO;
  } while (!errval && flush != Z_FINISH);
  deflateEnd(&strm);
  if (!errval && ret != Z_STREAM_END) {
    fprintf(stderr, "deflate should report Z_STREAM_END\n");
    errval = Z_DATA_ERROR;
  }
  if (errval) report("cmpr_deflatefile", errval);
  return finish(errval, produced, pconverted, perrval);
}

int cmpr_frinflate(void* out, size_t outlen, FILE* inp, size_t inplen, int cmpr_method,
                   size_t* pconverted, int* perrval) {
  if (!inp || inplen == 0) return finish(0, 0, pconverted, perrval);
  if (!out) outlen = 0;
  std::string inbuf(CMPR_CHUNK, '\0');
  size_t remaining = inplen;
  auto next_chunk = [&](const unsigned char*& chunk) -> long {
    if (remaining == 0) return 0;
    size_t n = fread(&inbuf[0], 1, std::min<size_t>(CMPR_CHUNK, remaining), inp);
    if (ferror(inp)) return -1;
    remaining -= n;
    chunk = reinterpret_cast<const unsigned char*>(inbuf.data());
    return static_cast<long>(n);
  };
  return inflate_into("cmpr_frinflate", static_cast<unsigned char*>(out), outlen, cmpr_method,
                      next_chunk, pconverted, perrval);
}

int cmpr_inflate(void* out, size_t outlen, const void* inp, size_t inplen, int cmpr_method,
                 size_t* pconverted, int* perrval) {
  if (!inp || inplen == 0) return finish(0, 0, pconverted, perrval);
  if (!out) outlen = 0;
  const unsigned char* in = static_cast<const unsigned char*>(inp);
  size_t consumed = 0;
  auto next_chunk = [&](const unsigned char*& chunk) -> long {
    size_t n = std::min<size_t>(CMPR_CHUNK, inplen - consumed);
    chunk = in + consumed;
    consumed += n;
    return static_cast<long>(n);
  };
  return inflate_into("cmpr_inflate", static_cast<unsigned char*>(out), outlen, cmpr_method,
                      next_chunk, pconverted, perrval);
}

int cmpr_inflatefile(FILE* outp, FILE* inp, int cmpr_method, size_t* pconverted, int* perrval) {
  z_stream strm;
  int errval = (outp && inp) ? inflate_setup(&strm, cmpr_method) : Z_ERRNO;
  if (errval) {
    if (errval == Z_ERRNO) errval = -1;
    else inflateEnd(&strm);
    report("cmpr_inflatefile", errval);
    return finish(errval, 0, pconverted, perrval);
  }
  std::string inbuf(CMPR_CHUNK, '\0'), outbuf(CMPR_CHUNK, '\0');
  size_t produced = 0;
  int ret = Z_OK;
  while (ret != Z_STREAM_END && !errval) {
    size_t n = fread(&inbuf[0], 1, CMPR_CHUNK, inp);
    if (ferror(inp)) {
      errval = Z_ERRNO;
      break;
    }
    if (n == 0) break;  // the end of the input counts as success
    strm.next_in = reinterpret_cast<Bytef*>(&inbuf[0]);
    strm.avail_in = static_cast<uInt>(n);
    do {
      strm.next_out = reinterpret_cast<Bytef*>(&outbuf[0]);
      strm.avail_out = CMPR_CHUNK;
      ret = inflate(&strm, Z_NO_FLUSH);
      if ((errval = inflate_failure(ret))) break;
      size_t have = CMPR_CHUNK - strm.avail_out;
      if (have && (fwrite(outbuf.data(), 1, have, outp) != have || ferror(outp))) {
        errval = Z_ERRNO;
        break;
      }
      produced += have;
    } while (strm.avail_out == 0 && ret != Z_STREAM_END);
  }
  inflateEnd(&strm);
  if (errval) report("cmpr_inflatefile", errval);
  return finish(errval, produced, pconverted, perrval);
}

int cmpr_checkextension(const char* extension) {
  if (!extension) return CmprNone;
  if (extension[0] == 'z' || extension[0] == 'Z') return CmprZlib;
  if ((extension[0] == 'g' || extension[0] == 'G') && (extension[1] == 'z' || extension[1] == 'Z'))
    return CmprGzip;
  return CmprNone;
}

int cmpr_checkfiletype(const char* filename) {
  char extension[4096];
  if (!filename_extension(extension, sizeof extension, filename)) return CmprNone;
  return cmpr_checkextension(extension);
}

char* cmpr_filename(char* buffer, size_t buflen, const char* filename, int cmpr) {
  if (!buffer || buflen == 0) return nullptr;
  std::string name(filename ? filename : "");
  if (cmpr_checkfiletype(name.c_str()) != CmprNone) name.erase(name.rfind('.'));
  if (cmpr == CmprGzip) name += ".gz";
  if (cmpr == CmprZlib) name += ".Z";
  size_t n = std::min(name.size(), buflen - 1);
  memcpy(buffer, name.data(), n);
  buffer[n] = '\0';
  return buffer;
}

const char* cmpr_errval2string(int errval) {
  switch (errval) {
    case Z_VERSION_ERROR: return "zlib version mismatch!";
    case Z_MEM_ERROR: return "out of memory";
    case Z_DATA_ERROR: return "invalid or incomplete deflate data";
    case Z_STREAM_ERROR: return "invalid compression level";
    case Z_ERRNO: return "error reading or writing data buffer";
    default: return "";
  }
}

const char* cmpr_version(void) {
  static const std::string version = std::string(CmprVersionBase) + zlibVersion();
  return version.c_str();
}

void cmpr_debug(int debug) { CMPR_debug = debug; }
