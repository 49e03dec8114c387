#include "brxcomp.h"
#include "engine_glue.h"

#include <cstdlib>

int SetComment(char *archivePath, char *comment)
{
    if (!archivePath)
        return 0;
    ZipCommand command;
    initZipCommand(command);
    command.function = ZIP_ADD;
    command.archivePath = archivePath;
    command.setComment = 1;
    command.comment = comment ? comment : "";
    return dzipS(&command) == 0 ? 1 : 0;
}

int CompressDelete(void *block, int)
{
    std::free(block);
    return 0;
}
