#include "wibpack/raster.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <vector>

#include "testutil.h"

namespace {

std::vector<long> Order(long n, long number) {
  std::vector<long> order(n + 1, 0);
  if (!raster_number2order(order.data(), order.size(), n, number)) return {};
  return order;
}

// The element of the standard layout at linear index std_index, looked up
// directly in an array stored in the given order.
size_t StoredIndex(const std::vector<long>& dim, const std::vector<long>& order, size_t std_index) {
  long n = dim[0];
  std::vector<size_t> idx(n + 1);
  for (long k = 1; k <= n; k++) {
    idx[k] = std_index % dim[k];
    std_index /= dim[k];
  }
  size_t stored = 0, stride = 1;
  for (long j = 1; j <= n; j++) {
    long k = std::labs(order[j]);
    size_t s = order[j] > 0 ? idx[k] : dim[k] - 1 - idx[k];
    stored += s * stride;
    stride *= dim[k];
  }
  return stored;
}

// Normalizes a stored array of item-byte elements (element e filled with
// bytes derived from e) in every orientation of dim and compares with the
// direct index computation, with separate arrays and in place.
void CheckAllOrientations(const std::vector<long>& dim, size_t item) {
  long n = dim[0];
  size_t count = 1;
  for (long k = 1; k <= n; k++) count *= dim[k];
  std::vector<unsigned char> src(count * item);
  for (size_t e = 0; e < count; e++)
    for (size_t b = 0; b < item; b++) src[e * item + b] = static_cast<unsigned char>(e * 7 + b * 131 + (e >> 8));

  for (long number = 1; number <= raster_numbers(n); number++) {
    SCOPED_TRACE("n=" + std::to_string(n) + " number=" + std::to_string(number) +
                 " item=" + std::to_string(item));
    std::vector<long> order = Order(n, number);
    ASSERT_FALSE(order.empty());
    std::vector<unsigned char> expect(count * item), dest(count * item, 0xEE);
    for (size_t e = 0; e < count; e++)
      memcpy(&expect[e * item], &src[StoredIndex(dim, order, e) * item], item);

    int errval = -1;
    ASSERT_EQ(raster_normalization(dest.data(), src.data(), dim.data(), number, item, &errval), 0);
    EXPECT_EQ(errval, 0);
    EXPECT_EQ(dest, expect);

    std::vector<unsigned char> inplace = src;
    ASSERT_EQ(raster_order_normalization(inplace.data(), inplace.data(), dim.data(), order.data(),
                                         item, &errval), 0);
    EXPECT_EQ(inplace, expect);
  }
}

}  // namespace

TEST(RasterNumbers, CountsOfOrientations) {
  const long expect[] = {1, 2, 8, 48, 384, 3840, 46080, 645120, 10321920, 185794560};
  for (long n = 0; n <= 9; n++) EXPECT_EQ(raster_numbers(n), expect[n]) << n;
  EXPECT_EQ(raster_numbers(-1), 0);
  EXPECT_EQ(raster_numbers(10), 0);
}

TEST(RasterNumbers, NumberAndOrderAreInverseForUpToFourAxes) {
  for (long n = 1; n <= 4; n++) {
    std::vector<std::vector<long>> seen;
    for (long number = 1; number <= raster_numbers(n); number++) {
      long* order = raster_number2order(nullptr, 0, n, number);
      ASSERT_NE(order, nullptr) << n << " " << number;
      EXPECT_EQ(order[0], n);
      EXPECT_EQ(raster_order2number(order), number);
      seen.emplace_back(order, order + n + 1);
      free(order);
    }
    std::sort(seen.begin(), seen.end());
    EXPECT_EQ(std::unique(seen.begin(), seen.end()), seen.end()) << "orders must be distinct";
  }
}

TEST(RasterNumbers, ExamplesAndInvalidNumbers) {
  const long o21[] = {2, 2, 1}, o_21[] = {2, -2, -1};
  EXPECT_EQ(raster_order2number(o21), 5);
  EXPECT_EQ(raster_order2number(o_21), 8);
  EXPECT_EQ(Order(2, 6), (std::vector<long>{2, 2, -1}));
  EXPECT_EQ(Order(2, -6), (std::vector<long>{2, -2, 1}));
  EXPECT_EQ(Order(2, 7), Order(2, -6));
  EXPECT_EQ(Order(3, 48), (std::vector<long>{3, -3, -2, -1}));
  testutil::Capture err(stderr);
  EXPECT_EQ(raster_number2order(nullptr, 0, 2, 0), nullptr);
  EXPECT_EQ(raster_number2order(nullptr, 0, 2, 9), nullptr);
  EXPECT_EQ(raster_number2order(nullptr, 0, 3, 49), nullptr);
  long small[2];
  EXPECT_EQ(raster_number2order(small, 2, 2, 1), nullptr);
  EXPECT_EQ(err.Text(), "ERROR: raster_number2order: dimension mismatch\n");

  const long bad[][3] = {{2, 1, 1}, {2, 0, 2}, {2, 3, 1}, {2, 1, -3}};
  for (const auto& o : bad) EXPECT_EQ(raster_order2number(o), 0);
  EXPECT_EQ(raster_order2number(nullptr), 0);
  const long none[] = {0};
  EXPECT_EQ(raster_order2number(none), 1);
}

TEST(RasterNumbers, MoreThanNineAxesNeedIdentityTail) {
  std::vector<long> order = Order(9, 12345);
  ASSERT_FALSE(order.empty());
  order[0] = 12;
  order.insert(order.end(), {10, 11, 12});
  EXPECT_EQ(raster_order2number(order.data()), 12345);
  std::vector<long> back(13);
  ASSERT_NE(raster_number2order(back.data(), back.size(), 12, 12345), nullptr);
  EXPECT_EQ(back, order);
  order[11] = 12;
  order[12] = 11;
  EXPECT_EQ(raster_order2number(order.data()), 0);
}

TEST(RasterNumbers, InversionAndMultiplicationTables) {
  // Row a, column x of the two-dimensional product table.
  const long product[8][8] = {{1, 2, 3, 4, 5, 6, 7, 8}, {2, 1, 4, 3, 7, 8, 5, 6},
                              {3, 4, 1, 2, 6, 5, 8, 7}, {4, 3, 2, 1, 8, 7, 6, 5},
                              {5, 6, 7, 8, 1, 2, 3, 4}, {6, 5, 8, 7, 3, 4, 1, 2},
                              {7, 8, 5, 6, 2, 1, 4, 3}, {8, 7, 6, 5, 4, 3, 2, 1}};
  const long inverse[8] = {1, 2, 3, 4, 5, 7, 6, 8};
  for (long a = 1; a <= 8; a++) {
    EXPECT_EQ(raster_inversion(a), inverse[a - 1]) << a;
    EXPECT_EQ(raster_multiplication(a, raster_inversion(a)), 1) << a;
    for (long x = 1; x <= 8; x++) EXPECT_EQ(raster_multiplication(a, x), product[a - 1][x - 1]) << a << "," << x;
  }
  EXPECT_EQ(raster_inversion(-6), 6);
  EXPECT_EQ(raster_inversion(0), 0);
  EXPECT_EQ(raster_multiplication(0, 1), 0);

  // Orders of different sizes and an order used as its own result buffer.
  const long a[] = {2, 2, 1}, x[] = {3, 3, 1, 2};
  long y[4];
  ASSERT_NE(raster_order_multiplication(y, 4, a, x), nullptr);
  EXPECT_EQ(std::vector<long>(y, y + 3), (std::vector<long>{2, 1, 3}));
  EXPECT_EQ(raster_order_multiplication(y, 4, x, a), nullptr);
  long self[] = {2, 2, -1};
  ASSERT_EQ(raster_order_inversion(self, 3, self), self);
  EXPECT_EQ(std::vector<long>(self, self + 3), (std::vector<long>{2, -2, 1}));
}

TEST(RasterMatrix, MatricesOfOrders) {
  const long o5[] = {2, 2, 1}, o6[] = {2, 2, -1};
  double* m5 = raster_order2matrix(nullptr, 0, o5);
  ASSERT_NE(m5, nullptr);
  double* id = raster_matrix_product(nullptr, 0, m5, m5, 2, 2, 2);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(std::vector<double>(id, id + 4), (std::vector<double>{1, 0, 0, 1}));
  double m6[4];
  ASSERT_EQ(raster_order2matrix(m6, 4, o6), m6);
  // Column j-1 holds the sign of order[j] in row |order[j]|-1.
  EXPECT_EQ(std::vector<double>(m6, m6 + 4), (std::vector<double>{0, 1, -1, 0}));
  free(m5);
  free(id);

  // A (2x3) * B (3x1), column by column.
  const double A[] = {1, 4, 2, 5, 3, 6}, B[] = {1, 1, 1};
  double C[2];
  ASSERT_EQ(raster_matrix_product(C, 2, A, B, 1, 3, 2), C);
  EXPECT_EQ(C[0], 6);
  EXPECT_EQ(C[1], 15);

  testutil::Capture err(stderr);
  const long bad[] = {2, 3, 1};
  EXPECT_EQ(raster_order2matrix(nullptr, 0, bad), nullptr);
  EXPECT_EQ(raster_order2matrix(nullptr, 0, nullptr), nullptr);
  EXPECT_EQ(raster_order2matrix(m6, 3, o6), nullptr);
  EXPECT_EQ(raster_matrix_product(C, 1, A, B, 1, 3, 2), nullptr);
  EXPECT_EQ(err.Text(),
            "ERROR: raster_order2matrix: order index out of bounds\n"
            "ERROR: raster_order2matrix: order is NULL pointer:\n"
            "ERROR: raster_order2matrix: dimension mismatch\n"
            "ERROR: raster_matrix_product: dimension mismatch\n");
}

TEST(RasterMatrix, PrintsRowByRow) {
  const double M[] = {1, 0, -1, 2.5};
  testutil::Capture out(stdout);
  EXPECT_EQ(raster_fprint_matrix(stdout, 2, 2, M, "M"), 0);
  EXPECT_EQ(out.Text(),
            "             M \n"
            "             1             -1 \n"
            "             0            2.5 \n"
            "\n");
}

TEST(RasterNormalization, SmallExamples) {
  // 3 x 2 array stored in configuration 2: each row reversed.
  const long dim[] = {2, 3, 2};
  const float src[] = {3, 2, 1, 6, 5, 4};
  float dest[6];
  ASSERT_EQ(raster_normalization(dest, src, dim, 2, sizeof(float), nullptr), 0);
  EXPECT_EQ(std::vector<float>(dest, dest + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
  // Configuration 5 reads a source of D2 x D1 elements and transposes it.
  const float t[] = {1, 4, 2, 5, 3, 6};
  ASSERT_EQ(raster_normalization(dest, t, dim, 5, sizeof(float), nullptr), 0);
  EXPECT_EQ(std::vector<float>(dest, dest + 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
  // Identity in place leaves the data untouched.
  float same[] = {9, 8, 7, 6, 5, 4};
  ASSERT_EQ(raster_normalization(same, same, dim, 1, sizeof(float), nullptr), 0);
  EXPECT_EQ(std::vector<float>(same, same + 6), (std::vector<float>{9, 8, 7, 6, 5, 4}));
}

TEST(RasterNormalization, EveryTwoDimensionalOrientation) {
  for (size_t item : {1, 2, 3, 4, 8, 16}) CheckAllOrientations({2, 37, 70}, item);
  CheckAllOrientations({2, 1, 5}, 4);
}

TEST(RasterNormalization, EveryThreeDimensionalOrientation) {
  for (size_t item : {1, 4, 8}) CheckAllOrientations({3, 5, 34, 3}, item);
}

TEST(RasterNormalization, OneAndFourDimensions) {
  CheckAllOrientations({1, 9}, 2);
  CheckAllOrientations({4, 3, 2, 4, 2}, 4);
}

TEST(RasterNormalization, OverlappingArraysGoThroughACopy) {
  const long dim[] = {2, 4, 3};
  std::vector<short> buf(20);
  std::iota(buf.begin(), buf.end(), 0);
  std::vector<short> src(buf.begin() + 2, buf.begin() + 14), expect(12);
  ASSERT_EQ(raster_normalization(expect.data(), src.data(), dim, 6, sizeof(short), nullptr), 0);
  ASSERT_EQ(raster_normalization(buf.data() + 5, buf.data() + 2, dim, 6, sizeof(short), nullptr), 0);
  EXPECT_EQ(std::vector<short>(buf.begin() + 5, buf.begin() + 17), expect);
}

TEST(RasterNormalization, Errors) {
  const long none[] = {0}, dim[] = {2, 2, 2}, negative[] = {2, 2, -2};
  float a[4] = {0}, b[4];
  testutil::Capture err(stderr);
  int errval = 0;
  EXPECT_EQ(raster_normalization(b, a, none, 1, 4, &errval), -1);
  EXPECT_EQ(errval, 1);
  EXPECT_EQ(raster_normalization(b, a, dim, 9, 4, &errval), -1);
  EXPECT_EQ(errval, 2);
  const long dup[] = {2, 1, 1}, wrong_n[] = {3, 1, 2, 3};
  EXPECT_EQ(raster_order_normalization(b, a, dim, dup, 4, &errval), -1);
  EXPECT_EQ(errval, 2);
  EXPECT_EQ(raster_order_normalization(b, a, dim, wrong_n, 4, &errval), -1);
  EXPECT_EQ(errval, 2);
  EXPECT_EQ(raster_normalization(b, a, negative, 1, 4, &errval), -1);
  EXPECT_EQ(errval, 1);
  std::string text = err.Text();
  EXPECT_NE(text.find("ERROR: raster_normalization: data_dim no or zero dimension\n"), std::string::npos);
  EXPECT_NE(text.find("ERROR: raster_normalization: raster_number=9 bad raster configuration\n"),
            std::string::npos);
}

TEST(RasterNormalizationDeathTest, MissingPointersEndTheProgram) {
  const long dim[] = {2, 2, 2}, order[] = {2, 1, 2};
  float a[4];
  EXPECT_EXIT(raster_order_normalization(a, nullptr, dim, order, 4, nullptr),
              testing::ExitedWithCode(255),
              "SEVERE ERROR: raster_order_normalization: Source pointer missing!");
  EXPECT_EXIT(raster_normalization(a, a, nullptr, 1, 4, nullptr), testing::ExitedWithCode(255),
              "SEVERE ERROR: raster_normalization: Data dimension pointer missing!");
}

TEST(RasterDebug, PrintsBeginAndEnd) {
  const long dim[] = {1, 2};
  short a[2] = {1, 2}, b[2];
  raster_debug(1);
  testutil::Capture out(stdout);
  raster_normalization(b, a, dim, 2, sizeof(short), nullptr);
  std::string text = out.Text();
  raster_debug(0);
  EXPECT_EQ(text.rfind(" raster_normalization BEGIN\n", 0), 0u);
  EXPECT_NE(text.find("            ILoop[1] = 2\n"), std::string::npos);
  EXPECT_NE(text.find(" raster_normalization END\n"), std::string::npos);
  EXPECT_EQ(std::string(raster_version()), "raster : V1.5 Orrin 2011-12-14");
}
