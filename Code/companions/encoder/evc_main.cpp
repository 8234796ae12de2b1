// evc.exe: converts a media file.
#include "EncoderMain.h"

int main(int argc, char** argv) { return tarquel::encoder::RunEncoder(tarquel::encoder::EncoderKind::Media, argc, argv); }
