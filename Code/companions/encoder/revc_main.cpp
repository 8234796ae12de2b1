// revc.exe: converts the media file a one-line DirectShowSource script names.
#include "EncoderMain.h"

int main(int argc, char** argv) { return tarquel::encoder::RunEncoder(tarquel::encoder::EncoderKind::Script, argc, argv); }
