// WAV export: any sound the sound-decoder manager can decode, written out as a RIFF/WAVE file
// (a PCM "fmt " chunk of 18 bytes, then the decoded data).
#pragma once

class CSllManager;

// Writes soundName, decoded through manager (null: g_pSllManager; the sound is opened streamed),
// as a RIFF/WAVE file at wavPath → 0, 1 bad arguments, 2 not decodable, 3 cannot create the file,
// 4 no memory, 6 a write failed or another failure (the file then holds a valid, shorter WAV of
// what reached it, as far as its header could be rewritten).
int ConvertSoundToWav(const char* soundName, const char* wavPath, CSllManager* manager);
