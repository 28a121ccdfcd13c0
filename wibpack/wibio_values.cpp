// wibio values: typed header values of a block, looked up with the defaults
// of the general block: integer expressions, unsigned decimals, the data
// dimensions and the data description.
#include <climits>
#include <string>

#include "wibpack/numio.h"
#include "wibpack/wibio_internal.h"

unsigned long str2unsigned(const char* text) {
  unsigned long v = 0;
  if (!text) return 0;
  for (; *text >= '0' && *text <= '9'; text++) {
    unsigned long d = static_cast<unsigned long>(*text - '0');
    if (v > (ULONG_MAX - d) / 10) return ULONG_MAX;
    v = v * 10 + d;
  }
  return v;
}

int header_value_long(DBlock* block, const char* Key, long* pValue, int* perrval) {
  if (perrval) *perrval = 0;
  SElement* s;
  if (search_general(block, Key, &s)) return -1;
  int errval = 0;
  long value = num_str2long(s->String.c_str(), nullptr, &errval);
  if (perrval) *perrval = errval;
  if (errval) return -1;
  if (pValue) *pValue = value;
  return 0;
}

int header_value_unsigned(DBlock* block, const char* Key, unsigned long* pValue) {
  SElement* s;
  if (search_general(block, Key, &s)) return -1;
  if (pValue) *pValue = str2unsigned(s->String.c_str());
  return 0;
}

int read_data_dim(DBlock* block, std::vector<long>& dim) {
  try {
    dim.assign(1, 0);
    for (unsigned long n = 1;; n++) {
      const std::string key = DIMENSION_KEY_PREFIX + std::to_string(n);
      // More dimensions than any array may have: refused before the sizes
      // are multiplied or anything is allocated for them.
      if (n > static_cast<unsigned long>(WibMaxDimensions)) {
        if (search_general(block, key.c_str(), nullptr)) break;
        fprintf(stderr, "ERROR: More than %d dimensions (%s)\n", WibMaxDimensions, key.c_str());
        dim.assign(1, 0);
        return -1;
      }
      long size;
      int errval;
      if (header_value_long(block, key.c_str(), &size, &errval)) {
        if (!errval) break;  // no more dimensions
        fprintf(stderr, "ERROR: Failed to read header value %s\n", key.c_str());
        dim.assign(1, 0);
        return -1;
      }
      dim.push_back(size);
    }
  } catch (const std::bad_alloc&) {
    dim.assign(1, 0);
    return -1;
  }
  dim[0] = static_cast<long>(dim.size() - 1);
  return dim[0] > 0 ? 0 : -1;
}

namespace {

// An integer data description value: missing gives the default silently,
// an unreadable value with a warning.
long description_long(DBlock* block, const char* Key, long default_value) {
  long value;
  int errval;
  if (header_value_long(block, Key, &value, &errval) == 0) return value;
  if (errval) {
    SElement* s;
    search_general(block, Key, &s);
    fprintf(stderr, "WARNING: Failed to convert header value %s = %s\n", Key,
            s ? s->String.c_str() : "");
    fprintf(stderr, "         Using %s = %ld\n", Key, default_value);
  }
  return default_value;
}

}  // namespace

void read_data_description(DBlock* block, DataDescription* description) {
  DataDescription d;
  SElement* s;
  if (search_general(block, KDataType, &s) == 0) d.DataType = wib_string2datatype(s->String.c_str());
  if (search_general(block, KByteOrder, &s) == 0) d.ByteOrder = wib_string2byteorder(s->String.c_str());
  if (search_general(block, KCompression, &s) == 0)
    d.Compression = wib_string2compression(s->String.c_str());
  d.DataValueOffset = description_long(block, KDataValueOffset, 0);
  d.DataRasterConfiguration = description_long(block, KDataRasterConfiguration, 1);
  if (description) *description = d;
}
