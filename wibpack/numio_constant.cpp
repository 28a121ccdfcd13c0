// numio constant table: named constants and units with their values in SI
// base units, kept as a doubly linked list in descending key order.  An
// ordered index finds an entry's neighbours on insertion and a hash index
// finds the longest name beginning a text with a few look-ups (one per
// possible key length) instead of a walk through the whole list.
#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>

#include "wibpack/numio_internal.h"

namespace {

struct ConstantTable {
  DPConstant* root = nullptr;  // largest key first
  bool built = false;
  size_t maxkeylen = 0;        // longest key, bounds the prefix look-up
  std::map<std::string_view, DPConstant*> order;          // views of Key
  std::unordered_map<std::string_view, DPConstant*> index;  // the same
};

ConstantTable& table() {
  static ConstantTable t;
  return t;
}

void free_entry(DPConstant* c) {
  free(c->Key);
  free(c->Quantity);
  free(c->Unit);
  delete c;
}

// Replaces an owned text (null stays null); false on memory failure.
bool replace_text(char** field, const char* text) {
  char* copy = nullptr;
  if (text && !(copy = numio::newstr(text))) return false;
  free(*field);
  *field = copy;
  return true;
}

// Decimal prefixes with their factors for plain, squared and cubed units
// (0 where a form does not exist).  The empty prefix is the base unit.
struct Prefix {
  const char* name;
  double plain, squared, cubed;
};
const Prefix kPrefixes[] = {
    {"Y", 1e24, 1e48, 1e72},   {"Z", 1e21, 1e42, 1e63},    {"E", 1e18, 1e36, 1e54},
    {"P", 1e15, 1e30, 1e45},   {"T", 1e12, 1e24, 1e36},    {"G", 1e9, 1e18, 1e27},
    {"M", 1e6, 1e12, 1e18},    {"k", 1e3, 1e6, 1e9},       {"h", 1e2, 1e4, 1e6},
    {"", 1, 1, 1},             {"d", 1e-1, 1e-2, 1e-3},    {"c", 1e-2, 1e-4, 1e-6},
    {"m", 1e-3, 1e-6, 1e-9},   {"u", 1e-6, 1e-12, 1e-18},  {"n", 1e-9, 1e-18, 1e-27},
    {"p", 1e-12, 1e-24, 1e-36}, {"f", 1e-15, 1e-30, 1e-45}, {"a", 1e-18, 1e-36, 1e-54},
    {"z", 1e-21, 0, 1e-63},    {"y", 1e-24, 1e-48, 1e-72},
};

// power 1, 2 or 3: inserts every prefixed form of Baseunit.
int insert_prefixed(const char* Quantity, const char* Unit, const char* Baseunit,
                    double Basevalue, int power) {
  if (!Baseunit) return -1;
  size_t maxlen = power == 1 ? 64 : 63;
  if (strlen(Baseunit) > maxlen) return -1;
  double value = Basevalue;
  const char* suffix = "";
  if (power == 2) {
    value = Basevalue * Basevalue;
    suffix = "2";
  } else if (power == 3) {
    value = Basevalue * Basevalue * Basevalue;
    suffix = "3";
  }
  char key[80];
  for (const Prefix& pre : kPrefixes) {
    double factor = power == 1 ? pre.plain : power == 2 ? pre.squared : pre.cubed;
    if (factor == 0) continue;
    snprintf(key, sizeof key, "%s%s%s", pre.name, Baseunit, suffix);
    double v = pre.name[0] ? factor * value : value;
    if (dpconstant_insert(Quantity, Unit, key, v, nullptr)) return -1;
  }
  return 0;
}

enum How { Single, Gen, Gen2, Gen3 };
struct Definition {
  How how;
  const char* key;
  double value;
  const char* unit;
  const char* quantity;
};

// The table in the order it is built.
const Definition kDefinitions[] = {
    {Single, "inf", DBL_MAX, nullptr, "infinity"},
    {Single, "gamma", 0.5772156649015329, nullptr, "gamma number"},
    {Single, "pi", 3.141592653589793, nullptr, "pi number"},
    {Single, "e", 2.718281828459045, nullptr, "Euler number"},
    {Single, "rad", 1, "rad", "angle"},
    {Single, "mrad", 0.001, "rad", "angle"},
    {Single, "urad", 1e-6, "rad", "angle"},
    {Single, "deg", 0.017453292519943295, "rad", "angle"},
    {Single, "mdeg", 1.7453292519943296e-5, "rad", "angle"},
    {Single, "udeg", 1.7453292519943295e-8, "rad", "angle"},
    {Single, "gon", 0.015707963267948967, "rad", "angle"},
    {Single, "mgon", 1.5707963267948967e-5, "rad", "angle"},
    {Single, "ugon", 1.5707963267948965e-8, "rad", "angle"},
    {Single, "arcmin", 0.0002908882086657216, "rad", "angle"},
    {Single, "arcsec", 4.84813681109536e-6, "rad", "angle"},
    {Single, "sr", 1, "sr", "spherical angle"},
    {Single, "k", 1.3806505e-23, "J/K", "Boltzmann constant"},
    {Single, "me", 9.1093826e-31, "kg", "electron rest mass"},
    {Single, "mp", 1.67262171e-27, "kg", "proton rest mass"},
    {Single, "md", 3.34358335e-27, "kg", "deuteron rest mass"},
    {Single, "mn", 1.67492728e-27, "kg", "neutron rest mass"},
    {Single, "NA", 6.0221415e23, "1/mol", "Avogadro number"},
    {Single, "re", 2.817940325e-15, "m", "classical electron radius"},
    {Single, "c", 299792458, "m/s", "velocity of light"},
    {Single, "ec", 1.60217653e-19, "C", "electron charge"},
    {Single, "h", 6.6260693e-34, "J*s", "Planck constant"},
    {Single, "gN", 6.6742e-11, "m3/kg/s2", "gravitational constant"},
    {Single, "ga", 9.80665, "m/s2", "gravitational acceleration"},
    {Single, "u0", 1.2566370614359173e-6, "H/m", "permeability of vacuum"},
    {Single, "e0", 8.854187817620389e-12, "F/m", "permittivity of vacuum"},
    {Gen, "C", 1, "C", "electric charge"},
    {Gen, "V", 1, "V", "voltage"},
    {Gen, "F", 1, "F", "electric capacity"},
    {Gen, "Ohm", 1, "Ohm", "electric resistance"},
    {Gen, "S", 1, "S", "electric conductivity"},
    {Gen, "T", 1, "T", "magnetic induction"},
    {Gen, "G", 0.0001, "T", "magnetic induction"},
    {Gen, "Wb", 1, "Wb", "magnetic flux"},
    {Gen, "H", 1, "H", "magnetic inductivity"},
    {Gen, "A", 1, "A", "electric current"},
    {Gen, "s", 1, "s", "time"},
    {Single, "min", 60, "s", "time"},
    {Single, "hr", 3600, "s", "time"},
    {Single, "d", 86400, "s", "time"},
    {Gen2, "s", 1, "s2", "time^2"},
    {Gen, "Hz", 1, "1/s", "frequency"},
    {Gen, "m", 1, "m", "length"},
    {Single, "in", 0.0254, "m", "length"},
    {Single, "ft", 0.3048, "m", "length"},
    {Single, "yd", 0.9144, "m", "length"},
    {Single, "mile", 1609.344, "m", "length"},
    {Single, "sm", 1852, "m", "length"},
    {Single, "kn", 0.5144444444444445, "m/s", "speed"},
    {Gen2, "m", 1, "m2", "area"},
    {Single, "b", 1e-28, "m2", "area"},
    {Single, "a", 100, "m2", "area"},
    {Single, "ha", 10000, "m2", "area"},
    {Gen3, "m", 1, "m3", "volume"},
    {Gen, "l", 0.001, "m3", "volume"},
    {Gen, "g", 0.001, "kg", "mass"},
    {Single, "lb", 0.45359237, "kg", "mass"},
    {Single, "oz", 0.0283495, "kg", "mass"},
    {Single, "amu", 1.66053886e-27, "kg", "mass"},
    {Gen, "mol", 1, "mol", "molecular amount"},
    {Gen, "J", 1, "J", "energy"},
    {Gen, "eV", 1.60217653e-19, "J", "energy"},
    {Gen, "cal", 4.1868, "J", "energy"},
    {Single, "erg", 1e-7, "J", "energy"},
    {Single, "K", 1, "K", "temperature"},
    {Single, "mK", 0.001, "K", "temperature"},
    {Single, "uK", 1e-6, "K", "temperature"},
    {Single, "degK", 1, "K", "temperature"},
    {Single, "degC", 1, "K", "temperature"},
    {Single, "degF", 0.5555555555555556, "K", "temperature"},
    {Gen, "W", 1, "W", "power"},
    {Gen, "N", 1, "N", "force"},
    {Single, "p", 0.00980665, "N", "force"},
    {Single, "lbf", 4.4482216152605, "N", "force"},
    {Single, "pdl", 0.138255, "N", "force"},
    {Single, "dyn", 1e-5, "N", "force"},
    {Gen, "Pa", 1, "Pa", "pressure"},
    {Gen, "bar", 100000, "Pa", "pressure"},
    {Single, "atm", 101325, "Pa", "physical atmospheric pressure"},
    {Single, "at", 98066.5, "Pa", "technical atmospheric pressure"},
    {Single, "psi", 6894.757293168361, "Pa", "pressure"},
    {Single, "Torr", 133.3224, "Pa", "pressure"},
    {Single, "Byte", 1, "Byte", "Byte"},
    {Single, "kByte", 1e3, "Byte", "KiloByte"},
    {Single, "MByte", 1e6, "Byte", "MegaByte"},
    {Single, "GByte", 1e9, "Byte", "GigaByte"},
    {Single, "TByte", 1e12, "Byte", "TeraByte"},
    {Single, "PByte", 1e15, "Byte", "PetaByte"},
    {Single, "EByte", 1e18, "Byte", "ExaByte"},
    {Single, "ZByte", 1e21, "Byte", "ZettaByte"},
    {Single, "YByte", 1e24, "Byte", "YottaByte"},
    {Single, "KiByte", 1024.0, "Byte", "KibiByte"},
    {Single, "MiByte", 1048576.0, "Byte", "MebiByte"},
    {Single, "GiByte", 1073741824.0, "Byte", "GibiByte"},
    {Single, "TiByte", 1099511627776.0, "Byte", "TebiByte"},
    {Single, "PiByte", 1125899906842624.0, "Byte", "PebiByte"},
    {Single, "EiByte", 1152921504606846976.0, "Byte", "ExbiByte"},
    {Single, "ZiByte", 1180591620717411303424.0, "Byte", "ZebiByte"},
    {Single, "YiByte", 1208925819614629174706176.0, "Byte", "YobiByte"},
};

void print_found(const DPConstant* c) {
  if (c->Unit && c->Quantity)
    printf("  %s = %.15g %s (%s)\n", c->Key, c->Value, c->Unit, c->Quantity);
  else if (c->Unit)
    printf("  %s = %.15g %s\n", c->Key, c->Value, c->Unit);
  else if (c->Quantity)
    printf("  %s = %.15g (%s)\n", c->Key, c->Value, c->Quantity);
  else
    printf("  %s = %.15g\n", c->Key, c->Value);
}

}  // namespace

int dpconstant_insert(const char* Quantity, const char* Unit, const char* Key, double Value,
                      DPConstant** pdpconstant) {
  if (pdpconstant) *pdpconstant = nullptr;
  if (!Key) return -1;
  ConstantTable& t = table();
  bool describe = numio::debug_level() > 0;
  auto it = t.index.find(std::string_view(Key));
  if (it != t.index.end()) {
    DPConstant* c = it->second;
    c->Value = Value;
    if (describe && !(replace_text(&c->Quantity, Quantity) && replace_text(&c->Unit, Unit)))
      return -1;
    if (pdpconstant) *pdpconstant = c;
    return 0;
  }
  DPConstant* c = new (std::nothrow) DPConstant{};
  if (!c) return -1;
  c->Key = numio::newstr(Key);
  c->Value = Value;
  bool ok = c->Key != nullptr;
  if (ok && describe) ok = replace_text(&c->Quantity, Quantity) && replace_text(&c->Unit, Unit);
  std::map<std::string_view, DPConstant*>::iterator pos;
  if (ok) {
    std::string_view key(c->Key);
    try {
      pos = t.order.emplace(key, c).first;
      try {
        t.index.emplace(key, c);
      } catch (...) {
        t.order.erase(pos);
        throw;
      }
    } catch (...) {
      ok = false;
    }
  }
  if (!ok) {
    free_entry(c);
    return -1;
  }
  // Descending list order: the next entry is the next smaller key.
  DPConstant* next = pos == t.order.begin() ? nullptr : std::prev(pos)->second;
  DPConstant* previous = std::next(pos) == t.order.end() ? nullptr : std::next(pos)->second;
  c->Next = next;
  c->Previous = previous;
  if (next) next->Previous = c;
  if (previous) previous->Next = c;
  else t.root = c;
  t.maxkeylen = std::max(t.maxkeylen, strlen(c->Key));
  if (pdpconstant) *pdpconstant = c;
  return 0;
}

int dpconstant_insert_unit(const char* Quantity, const char* Unit, const char* Baseunit,
                           double Basevalue) {
  return insert_prefixed(Quantity, Unit, Baseunit, Basevalue, 1);
}

int dpconstant_insert_unit2(const char* Quantity, const char* Unit, const char* Baseunit,
                            double Basevalue) {
  return insert_prefixed(Quantity, Unit, Baseunit, Basevalue, 2);
}

int dpconstant_insert_unit3(const char* Quantity, const char* Unit, const char* Baseunit,
                            double Basevalue) {
  return insert_prefixed(Quantity, Unit, Baseunit, Basevalue, 3);
}

int dpconstant_init() {
  for (const Definition& d : kDefinitions) {
    int rc = 0;
    switch (d.how) {
      case Single: rc = dpconstant_insert(d.quantity, d.unit, d.key, d.value, nullptr); break;
      case Gen: rc = dpconstant_insert_unit(d.quantity, d.unit, d.key, d.value); break;
      case Gen2: rc = dpconstant_insert_unit2(d.quantity, d.unit, d.key, d.value); break;
      case Gen3: rc = dpconstant_insert_unit3(d.quantity, d.unit, d.key, d.value); break;
    }
    if (rc) return -1;
  }
  table().built = true;
  if (numio::debug_level() >= 2) dpconstant_print(stdout, numio::debug_level(), 0);
  return 0;
}

int dpconstant_search(const char* Key, DPConstant** pdpconstant, int mode) {
  if (pdpconstant) *pdpconstant = nullptr;
  if (!Key) return -1;
  ConstantTable& t = table();
  DPConstant* found = nullptr;
  if (mode == 0) {
    auto it = t.index.find(std::string_view(Key));
    if (it != t.index.end()) found = it->second;
  } else {
    // The longest key that begins Key: try the prefixes from the longest
    // possible key length down.  Never reads past the end of Key.
    for (size_t len = strnlen(Key, t.maxkeylen); len > 0 && !found; --len) {
      auto it = t.index.find(std::string_view(Key, len));
      if (it != t.index.end()) found = it->second;
    }
  }
  if (!found) return -1;
  if (numio::debug_level() > 0) print_found(found);
  if (pdpconstant) *pdpconstant = found;
  return 0;
}

void dpconstant_print(FILE* out, int level, int verbose) {
  if (!out || level < 1) return;
  const char* line = "--------------------------------------------------";
  fprintf(out, "%s\n", line);
  for (const DPConstant* c = table().root; c; c = c->Next) {
    fprintf(out, "  Key      = %s\n", c->Key);
    fprintf(out, "  Value    = %.15g\n", c->Value);
    if (c->Quantity) fprintf(out, "  Quantity = %s\n", c->Quantity);
    if (c->Unit) fprintf(out, "  Unit     = %s\n", c->Unit);
    if (verbose) {
      fprintf(out, "  Previous = %s\n", c->Previous ? c->Previous->Key : "(none)");
      fprintf(out, "  Next     = %s\n", c->Next ? c->Next->Key : "(none)");
    }
    fprintf(out, "%s\n", line);
  }
}

void dpconstant_free() {
  ConstantTable& t = table();
  t.index.clear();
  t.order.clear();
  DPConstant* c = t.root;
  while (c) {
    DPConstant* next = c->Next;
    free_entry(c);
    c = next;
  }
  t.root = nullptr;
  t.built = false;
  t.maxkeylen = 0;
}

const DPConstant* dpconstant_root() { return table().root; }

namespace numio {

int lookup_constant(const char* text, DPConstant** entry) {
  if (!table().built && dpconstant_init()) {
    *entry = nullptr;
    return NumMemoryAllocationError;
  }
  return dpconstant_search(text, entry, 1) ? NumNoFloatNumber : NumSuccess;
}

}  // namespace numio
