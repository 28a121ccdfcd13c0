// peakfilter: the ring-shaped weighting mask and the single-pixel peak filter.
//
// gen_tring_mask fills a small square mask with a Gaussian bell that has a
// dip at its centre, normalised to a mean weight of one.  peakfilter moves
// such a mask over an image and replaces every pixel that departs from the
// mask-weighted mean and variance of its neighbourhood by more than a
// chi-square threshold and by more than an absolute threshold.
//
// Arrays are dim_1 x dim_2 floats, pixel (i_1, i_2) at i_1 + i_2 * dim_1.
// A pixel v carries no data (is a dummy) when |v - dummy| <= ddummy and
// |dummy| > max(ddummy, 0.1); a dummy whose magnitude does not exceed that
// bound marks no pixel.
//
// Both filter entry points give identical results, bit for bit; peakfilter
// is the fast one the program uses, peakfilter_reference the plain
// pixel-by-pixel formulation it is checked against.
#ifndef SRC_PEAKFILTER_H
#define SRC_PEAKFILTER_H

// Fills buffer (dim_1 * dim_2 floats) with the ring mask and returns it:
// element (i_1, i_2) at squared distance r2 from the centre
// (dim_1/2, dim_2/2) is (1 - a*exp(-16 ln2 r2^2/widtha^4)) *
// exp(-4 ln2 r2/width^2), and the elements are scaled so that they add up
// to dim_1 * dim_2 (unless their sum is within 1e-32 of 0).  width is the
// full width at half maximum of the bell, widtha the full width at half
// depth of the dip and a its relative depth.  A 1 x 1 mask is the single
// weight 1.0.
//
// A width or widtha of 0 (or so small that its square or fourth power
// underflows) gives the limit of the formula: that factor becomes 1 at the
// centre and 0 elsewhere, so the mask never holds a value that is not a
// number.  When width, widtha or a is not a number, or a is infinite, no
// mask can be formed: the buffer is filled with zeros (a filter with that
// mask changes nothing) and null is returned.  Null is also returned for a
// null buffer.
float* gen_tring_mask(float* buffer, long dim_1, long dim_2, float width, float a,
                      float widtha);

// Writes every pixel of out (dim_1 * dim_2 floats) from in, replacing the
// bad pixels: mode 1 replaces a bad pixel by the weighted mean of its
// neighbours without itself (or by dummy when their weights sum to less
// than 1e-32), every other mode by dummy.  msk is an mdim_1 x mdim_2 mask
// whose centre element (mdim_1/2, mdim_2/2) lies on the pixel under test;
// with a null msk out is a copy of in.  in and out must be distinct arrays;
// in is never changed.  With debug > 4 every bad pixel is reported on
// standard output.  *pchanged (when pchanged is not null) receives the
// number of replaced pixels.  Returns out, or null when out or in is null.
float* peakfilter(float* out, const float* in, long dim_1, long dim_2, float dummy,
                  float ddummy, const float* msk, long mdim_1, long mdim_2, float chi2,
                  float max, int mode, int debug, long* pchanged);

// The same filter computed pixel by pixel in the plainest way.
float* peakfilter_reference(float* out, const float* in, long dim_1, long dim_2,
                            float dummy, float ddummy, const float* msk, long mdim_1,
                            long mdim_2, float chi2, float max, int mode, int debug,
                            long* pchanged);

#endif
