// Quillmere, the console of Ostrel.
#include "CQuillmereApp.h"

int main(int argc, char** argv)
{
    ostrel::CQuillmereApp application(argc, argv);
    return application.InitInstance();
}
