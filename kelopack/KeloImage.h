// KeloImage: images of the image framework in memory and in files.
//
// An image in memory is an ImageHeaderBlock (kelopack/KeloDefinition.h).
// This module initialises, allocates, lists and releases header blocks; it
// conditions images (clipping, gnawing, binning, per-pixel programs, linear
// transformation, marking); it reads input images, creates and writes
// output images, keeps the files of the image blocks and runs the image loop
// (kelopack/KeloImageLoop.h).
//
// Every routine that can fail takes a status word by pointer (KeloStatus of
// kelopack/KeloError.h), records its module and routine name in the error
// block on entry and returns at the first failure.
#ifndef KELOPACK_KELOIMAGE_H
#define KELOPACK_KELOIMAGE_H

#include <cstddef>

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloImageLoop.h"
#include "kelopack/KeloOption.h"
#include "wibpack/numio.h"
#include "wibpack/sx.h"

// Module name of this module in error reports.
inline constexpr char SIName[] = "KeloImage";

// "KeloImage V4.70 Orrin 2012-07-03"
const char* KeloImageVersion();

// ---------------------------------------------------------------------------
// Header blocks

// Sets the defaults in element blkno of the array ihb: no image, no arrays,
// no stream, every value at its default with flag 0 (MinClip and MaxClip
// the extreme finite floats, Factor 1, bin sizes, pixel sizes, distance,
// wavelength 1, orientation, projection and axis types 1).
void init_header_block(ImgHeadBlk* ihb, int blkno);

// Allocates the arrays of one header block for the sizes Dim[1], Dim[2]
// (arrays it held before are released): Data, filled with initdval when
// initdflag is set, and, when var is set, VarDat, filled with initvval when
// initvflag is set.  Dim[0] of the block becomes 2, LoopCount and
// ActualLoopCount 0, ImgByteLen Dim[1]*Dim[2]*4; with no pixels both arrays
// stay null.  NotEnoughMemoryAvailable when an array cannot be allocated.
void alloc_image_memory(CmdBlk* pcb, const long* Dim, ImgHeadBlk* pihb, float initdval,
                        int initdflag, int var, float initvval, int initvflag, int* pstatus);

// Releases the arrays and the Val and ErrVal programs of a header block and
// forgets its header list; sizes, counts and I become 0.  The header list
// is released in the Wib library only by the block that read it (its name
// is "i<blkno>"); a template copy refers to the list of its input block and
// leaves it alone.
void free_image_memory(ImgHeadBlk* pihb);

// Debug listing of a header block on standard output: the line
// "Image Header Block (blkno = %d)", then one field per line in declared
// order, each starting with "ihb[% d]" and the field name; values with a
// flag are listed only when set.
void PrintImageHeaderBlock(const ImgHeadBlk* pihb);

// Applies the options of image block blkno to header block blkno: image
// number num[blkno], stream and open mode of the image block; then every
// option that is set, evaluated with key replacement for the block blkno
// and the image numbers num (flag -1): dimensions, clip values, constant,
// factor, the value and variance programs (compiled under the names
// "oval"/"oerr" for block 0, "i<n>val"/"i<n>err" otherwise), binning,
// gnawing, the command block's shift (block 0 only), dummy and tolerance,
// offsets, centres, bin and pixel sizes, axis types, distance, wavelength,
// rotations, title, time, orientation (also into rori) and projection.
// A header without "Dummy" gets Dummy 0 and DDummy 0.1; a tolerance below
// max(0.1, |Dummy| * 1e-5) is raised to it; an option Dummy resets the
// tolerance to that value unless DDummy is given too.  Unknown offsets
// become 0.  Stops at the first failing evaluation with its status.
void balance_header_block(CmdBlk* pcb, int blkno, long* num, ImgBlk* ib, ImgHeadBlk* ihb,
                          int* pstatus);
void BalanceHeaderBlock(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                        int* pstatus);

// ---------------------------------------------------------------------------
// Input images
//
// Header blocks passed to the routines below must have been initialised
// (kelo_new_all_images or init_header_block); what they held is released.

// The Wib library's text of one of its error values; the image module
// registers it in the error block with every library call it makes.
const char* ReportKeloImageError(int ExternalError);

// Reads image num[blkno] of block blkno (memory Memory of the image block)
// into header block blkno: the header keys of the framework (a value that
// is not a number fails with the key as message), with PassHeader the
// complete header into the header list "i<blkno>", for block 1 the history
// lines; then the options of the block (balance_header_block), the data
// (and the variance block of memory -Memory with CreateVariance) and the
// conditioning.  The dummy file gives an image of the balanced dimensions
// filled with the dummy value.  Data read from a file keep the dimensions
// of the file.  Returns 0 when the image does not exist or the block has no
// open file (FileMustBeOpened), 1 when it exists, read or not: the status
// tells which.  I becomes 1 after success.
int ReadImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb, int* pstatus);
// The same without the data (only the dimensions and the geometry change
// by conditioning).
int ReadImageHeader(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                    int* pstatus);
int read_kelo_image(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb, int DontRead,
                    int* pstatus);

// ---------------------------------------------------------------------------
// Output images

// Creates header and arrays of output block blkno for image num[blkno]:
// the header of template (may be null), then the options of the image
// block, then InitFunction (may be null).  Data are filled with the dummy,
// variances (CreateVariance and Memory > 0) with -1.  The image counts as
// created (I 1) when the block's file may take it: FileProtected for a
// file opened with IO_FileProtect, ImageProtected when the image exists
// and IO_ImageProtect is set; without a stream I stays 0; in the dummy
// file it is created and never written.  With a header list in the
// template (headers passed through) that header is written into the image
// at once.  InvalidOrientation for an orientation outside 1 .. 16.
void NewImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
              ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus);
// The same without arrays.
void NewImageHeader(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                    ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus);
void new_image_header(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                      ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus);
// Writes the image of header block blkno: conditioning with its own
// values, marking of its dummy pixels, the header keys, the data into
// memory m = Memory of the image block and, with a variance array and
// m > 0, the variances into memory -m (header "Dummy" = -1).  Nothing is
// written into the dummy file.  HeaderNotInitialized when the block holds
// no image, Failed when it holds no data array.
void WriteImage(CmdBlk* pcb, ImgBlk* ib, int blkno, ImgHeadBlk* ihb, int* pstatus);
// Writes the header keys of pihb into image ImNum of memory ImageChain, in
// this order: "KeloDataVersion", "Dummy", "DDummy", the offsets (always,
// after set_output_header_defaults), then what is known of the centres,
// bin sizes ("BSize_1" and "BSize_2" also whenever a bin size is not 1),
// pixel sizes, "SampleDistance", "WaveLength", the detector rotations (in
// "deg"), "Title", "Time", and orientation, projection and axis types when
// they are above 1 or a header list is held; last the history lines (a
// failure there is ignored).  *pErrorValue receives the library's error
// value.
void write_image_header(int stream, long ImageChain, ImgHeadBlk* pihb, int* pErrorValue,
                        int* pstatus);

// Copies a header block for a new image: image number, loop counts, byte
// length, dimensions and data as given, no stream; DoNotScale, the header
// list, Dummy, DDummy, Title, Time and the geometry (geo_header_copy) from
// pin with their flags as 0 or 1; conditioning values at their defaults.
void template_header_block(long ImageNumber, long LoopCount, long ActualLoopCount,
                           size_t ImgByteLen, const long* Dim, float* Data,
                           const ImgHeadBlk* pin, ImgHeadBlk* pout);
// Copies offsets, centres, bin and pixel sizes, axis types, distance,
// wavelength, rotations, orientation and projection, flags as 0 or 1.
void geo_header_copy(const ImgHeadBlk* pin, ImgHeadBlk* pout);
// Completes an output header before writing: an unknown Dummy becomes 0,
// an unknown DDummy max(0.1, |Dummy| * 1e-5), unknown offsets 0; these
// then count as known.
void set_output_header_defaults(ImgHeadBlk* pihb);

// ---------------------------------------------------------------------------
// Files of the image blocks
//
// Each image block has at most one open file: Stream (-1 when closed),
// StreamOpenMode, FileNumber and FileName (the name after the file number
// was put into its pattern; empty when closed).  Two blocks that name the
// same file share one stream.

// Opens the file of block blkno: fname with its trailing parameters removed
// and FileNumber put into its number pattern becomes the block's FileName
// and FileNumber; the command block's output settings are handed to the
// Wib library first.  The name "/dev/null" adds IO_Dummy to the mode, which
// is stored in StreamOpenMode.  With IO_DontOpen or IO_Dummy no stream is
// opened.  Otherwise the Wib library mode follows OpenMode: IO_Old "read"
// (IO_FileProtect) or "old", the file must exist (else FileNotFound);
// IO_New "new"; neither "read" (IO_FileProtect) or "any".  A stream that
// the library already has open for the same file is shared.
// FileAlreadyOpened when the block has a stream, FileNameError when no
// name can be formed, ExternalErrorReport for failures of the library.
void OpenImageFile(CmdBlk* pcb, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                   long OpenMode, int* pstatus);
// Closes the file of block blkno (the stream only when no other block uses
// it); Stream becomes -1 and FileName empty.  A failure of the library
// leaves the block unchanged.
void CloseImageFile(CmdBlk* pcb, ImgBlk* ib, int blkno, int* pstatus);
// The stream of the file fname_full (a full path) in the Wib library mode
// ("read", "old", "new", "any"): the stream the library has open for it
// already, else a newly opened one; -1 on failure (ExternalErrorReport).
int reopen_image_file(const char* fname_full, const char* mode, int* pstatus);
// The smallest and largest image numbers of memory Memory in the file of
// block blkno; 1 and 0 for the dummy file and IO_DontReadWrite.
void SearchMinMaxImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* pMinImage, long* pMaxImage,
                       int* pstatus);
// Opens the files of the blocks 1 .. ImgBlkLen-1 and then 0 for the file
// numbers FNum, unless a block has that file open already or (block 0)
// header block 0 still holds an image.  A file that does not exist is no
// failure; with allneeded it ends the pass.  Returns 1 when all blocks were
// handled, else 0 (the status tells whether it failed).
int kelo_open_all_images(CmdBlk* pcb, ImgBlk* ib, long* FNum, ImgHeadBlk* ihb, int allneeded,
                         int* pstatus);
// Reads the input images Num of the blocks 1 .. ImgBlkLen-1 with their
// progress lines ("Reading image: <file>, Image : <n>" and " done" or
// " missing"), reopening a file whose name or file number changed; an
// image already held is not read again.  A missing image or file is no
// failure: with allneeded it ends the pass (result 0).  Returns 1 when the
// pass went through all blocks (the status tells whether it failed).
int kelo_read_all_images(CmdBlk* pcb, ImgBlk* ib, long* FNum, long* Num, ImgHeadBlk* ihb,
                         int allneeded, int* pstatus);
// Closes the files of all blocks, 0 first; stops at the first failure.
void kelo_close_all_images(CmdBlk* pcb, ImgBlk* ib, int* pstatus);

// 1 when block blkno has a file open under the name that fname forms with
// FileNumber (trailing parameters removed, number put into the pattern,
// compared as full paths), else 0.  FileNameError when no name can be formed.
int AlreadyOpened(CmdBlk* pcb, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                  int* pstatus);
// 1 when block blkno has a stream that no other image block uses, else 0.
int StreamCanBeClosed(CmdBlk* pcb, ImgBlk* ib, int blkno, int* pstatus);

// ---------------------------------------------------------------------------
// Conditioning (in place, on the single-precision arrays of a header block)
//
// A pixel v is a dummy when |v - dummy| <= ddummy and |dummy| > max(ddummy,
// 0.1); when |dummy| <= max(ddummy, 0.1) no pixel is a dummy.  Variances use
// -1 with tolerance 0.1 as their dummy.  Arrays are dim_1 x dim_2, the
// first index fastest.

// Applies the conditioning values to the image of a header block, in this
// order: clipping (MinClip or MaxClip set), gnawing (Gnaw_1 or Gnaw_2 set),
// binning (set factors above 1; also Dim, Offset, Center, BinSiz, PixSiz),
// the value program Val, the variance program ErrVal (with a variance
// array), the linear transformation Factor * v + Const (Factor or Const
// set; the variance by Factor squared).  With Simulate set only the
// dimensions and the geometry change.  Orientation must be 0 (the common
// orientation is established elsewhere).  TestBit >= 2 prints each step.
void condition_2d(ImgHeadBlk* pihb, IO_float MinClip, IO_float MaxClip, IO_long Gnaw_1,
                  IO_long Gnaw_2, IO_long Bin_1, IO_long Bin_2, IO_prog Val, IO_prog ErrVal,
                  IO_float Factor, IO_float Const, IO_long Ave, long Orientation,
                  int Simulate, int TestBit, int* pstatus);

// Pixels below minclip (minclipI set) or above maxclip (maxclipI set)
// become the dummy, or the clip value itself when no dummy is defined
// (dummies are not examined); the variance of a clipped pixel becomes -1.
void clip_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  float minclip, int minclipI, float maxclip, int maxclipI);

// Grows dummy areas: every dummy pixel (j_1, j_2) turns each pixel
// (k_1, k_2) with |k_i - j_i| <= g_i inside the ellipse
// (k_2-j_2)^2 (g_1^2+1) + (k_1-j_1)^2 (g_2^2+1) <= (g_1^2+1)(g_2^2+1)
// into a dummy (variance -1); g_i = max(gnaw_i, 0).  Nothing happens when
// both values are below 1 or no dummy is defined.  NotEnoughMemoryAvailable
// when the marks cannot be allocated.
void gnaw_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  long gnaw_1, long gnaw_2, int* pstatus);

// Bins by bin_1 x bin_2 pixels (factors of 0 or less count as 1): each
// output pixel is the sum of the non-dummy pixels of its block, divided by
// their number when ave is set, or the dummy when there are none; a
// remainder at the high end of an axis is dropped and *dim_1, *dim_2 are
// reduced.  Input and output may be the same array.  rebin_data_2d also
// bins the variances: the sum of the variances of the same pixels
// (negative ones as 0), divided by the square of their number when ave is
// set, or -1.
void rebin_float_2d(const float* dataIn, float* dataOut, long* dim_1, long* dim_2, float dummy,
                    float ddummy, long bin_1, long bin_2, int ave);
void rebin_data_2d(const float* dataIn, float* dataOut, const float* vardatIn, float* vardatOut,
                   long* dim_1, long* dim_2, float dummy, float ddummy, long bin_1, long bin_2,
                   int ave);

// Runs the value program (one variable, the pixel value) over every
// non-dummy pixel: y = prog(v).  The variance of a pixel with variance e > 0
// becomes (y - prog(v + sqrt(e)))^2, 0 when the program does not use its
// variable; e <= 0 becomes 0 when no dummy is defined.  Dummy pixels get
// variance -1.  A pixel whose evaluation fails stays unchanged.
void prog_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  NumProg* prog, int* pstatus);
// Runs the variance program (two variables: value and variance, a negative
// variance passed as 0) over every non-dummy pixel; dummy pixels get
// variance -1.
void prog_vardat_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy,
                    float ddummy, NumProg* prog, int* pstatus);

// Every pixel (every non-dummy pixel when a dummy is defined) becomes
// factor * v + constant in single precision; nothing happens for factor 1
// (within 1e-9) and constant 0 (within 1e-30).
void transform_float_2d(float* data, long dim_1, long dim_2, float dummy, float ddummy,
                        float factor, float constant);

// Draws a fixed mark of 80 rows by 8 columns into the dummy pixels at the
// corner of the array (image rows 0 to 79, columns 0 to 7): a dummy pixel
// under a set cell becomes d + dd/2, which is still a dummy.  Nothing
// happens when no dummy is defined.
void mark_float_2d(float* array, long d_1, long d_2, float d, float dd);

// ---------------------------------------------------------------------------
// Geometry header transformation

// Brings every header block 0 .. ImgBlkLen-1 that holds an image into the
// raster orientation ori: data, variances and geometry header together.
// Failed, with the geometry module's text as message, when that fails.
void kelo_tf_all_images(CmdBlk* pcb, ImgBlk* ib, ImgHeadBlk* ihb, long ori, int* pstatus);
// The geometry of a header block as a geometry record (initialised with
// sx_new), and back: dimensions only where the record's flags are set,
// every other value with its flag.  Failed for a missing argument.
void kelo_header2params(const ImgHeadBlk* pihb, SXParams* params, int* pstatus);
void kelo_params2header(ImgHeadBlk* pihb, const SXParams* params, int* pstatus);

#endif
