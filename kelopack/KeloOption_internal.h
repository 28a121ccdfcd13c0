// Internal part of KeloOption shared by its source files: the option
// numbers of both tables.
#ifndef KELOPACK_KELOOPTION_INTERNAL_H
#define KELOPACK_KELOOPTION_INTERNAL_H

#include "kelopack/KeloOption.h"

namespace kelo_option {

// Numbers of the built-in command options (index into the command table).
enum CommandOptionNumber {
  NTestBit = 1,
  NHelp,
  NPrompt,
  NShift,
  NRSys,
  NUSys,
  NGeneralBlock,
  NPassHeader,
  NCreateVariance,
  NAntiAliased,
  NVarianceWeight,
  NOutputDataType,
  NOutputDataValueOffset,
  NOutputCompression,
  NBslInputByteOrder,
  NAdd,
  NIPMin,
  NMaxLineWidth,
  NMinHeaderSize,
  NCommonOrientation,
  NCmdBuiltInEnd  // first program-defined slot
};

// Numbers of the image options (index into the image table).
enum ImageOptionNumber {
  NOpenMode = 1,
  NName,
  NMemory,
  NFirst,
  NLast,
  NInc,
  NMinClip,
  NMaxClip,
  NConst,
  NFactor,
  NVal,
  NErrVal,
  NBin,
  NAve,
  NGnaw,
  NTitle,
  NTime,
  NDim,
  NDummy,
  NDDummy,
  NOffset,
  NCen,
  NBinSiz,
  NPixSiz,
  NSampleDistance,
  NWaveLength,
  NDetRot,
  NOrientation,
  NProjection,
  NAxisType,
  NImgOptEnd  // end marker
};

}  // namespace kelo_option

#endif
