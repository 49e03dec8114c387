#include "msg_strings.h"

#include "platform/strings.h"

namespace {

const plat::StringEntry kStrings[] = {
    {IDS_PRODUCT_NAME, "Brindle Dovozoz"},
    {IDS_NO_DECRYPTION_CODE,
     "Some files were skipped because no decryption code was provided or it was incorrect."},
    {IDS_DISK_FULL, "No more files can be extracted because the disk is full."},
    {IDS_VOLUME_ID, "The volume identification could not be extracted."},
    {IDS_ARCHIVE_NOT_OPENED, "The archive could not be opened for extraction."},
    {IDS_FILE_NOT_CREATED, "An extracted file could not be created."},
    {IDS_NOTHING_TO_EXTRACT, "No files needed to be extracted."},
    {IDS_OUT_OF_MEMORY_4,
     "No more files can be extracted because Brindle Dovozoz is out of memory."},
    {IDS_OUT_OF_MEMORY_5,
     "No more files can be extracted because Brindle Dovozoz is out of memory."},
    {IDS_ARCHIVE_GONE, "The archive no longer exists."},
    {IDS_ARCHIVE_DAMAGED_EXTRACT,
     "The archive is damaged, no more files may be extracted from it."},
    {IDS_CLOSE_QUESTION,
     "Closing this window will cancel the operation.\n\nAre you sure you want to cancel?"},
    {IDS_SHUTDOWN_EXTRACT,
     "Leaving Windows while files are being decompressed my result in damaged files.\n\n"
     "Either let the operation continue or cancel the operation."},
    {IDS_SHUTDOWN_COMPRESS,
     "Leaving Windows while compressing files may result in your archive becoming damaged.\n\n"
     "Either let the operation continue or cancel the operation."},
    {IDS_CANCELLING, "Please wait, cancelling..."},
    {IDS_FILE_EXISTS, "The file '%s' already exists."},
    {IDS_BYTES, "%s bytes"},
    {IDS_MODIFIED_ON, "modified on %s"},
    {IDS_MODIFIED_ON_DATE_TIME, "modified on %s %s"},
    {IDS_TIP_YES, "Press to overwrite the existing file."},
    {IDS_TIP_NO, "Press if you do not want to overwrite the existing file."},
    {IDS_TIP_NO_TO_ALL, "Press if you do not want to overwrite any existing files."},
    {IDS_TIP_YES_TO_ALL, "Press if you want to overwrite all existing files."},
    {IDS_TIP_CANCEL, "Press to abort the current operation."},
    {IDS_TIP_TOTAL, "This shows the total progress."},
    {IDS_TIP_FILE, "This shows the current file's progress."},
    {IDS_INSERT_FIRST_DISK, "Please insert the first disk"},
    {IDS_INSERT_DISK, "Please insert disk %d"},
    {IDS_INSERT_LAST_DISK, "Please insert the last disk"},
    {IDS_INSERT_DISK_OF, "Please insert disk %d of %d"},
    {IDS_NOT_OPENED, "The file '%s' could not be opened"},
    {IDS_NOT_READ, "The file '%s' could not be read"},
    {IDS_NOT_WRITTEN, "The file '%s' could not be written to"},
    {IDS_NOT_FORMATTED, "The disk could not be formatted"},
    {IDS_NOT_WIPED, "The disk could not be wiped"},
    {IDS_NOT_FIRST_DISK, "The inserted disk is not the first disk, please insert the first disk"},
    {IDS_ZIP_DAMAGED, "The archive is damaged"},
    {IDS_ZIP_STRUCTURE, "The archive's internal structure is invalid"},
    {IDS_ZIP_MEMORY, "Brindle Dovozoz has run out of memory"},
    {IDS_ZIP_DAMAGED_OR_MEMORY,
     "Either the archive is damaged or Brindle Dovozoz is out of memory"},
    {IDS_ZIP_TEMP_FILE, "A error occured while accessing the temporary file"},
    {IDS_ZIP_READ_FILE, "An error occurred while trying to read a file"},
    {IDS_ZIP_MISSING, "The archive is missing or empty"},
    {IDS_ZIP_NOT_WRITTEN, "The archive could not be written, your disk may be full"},
    {IDS_ZIP_NOT_CREATED, "The archive could not be created"},
    {IDS_ZIP_NOT_FOUND, "File not found or no read permission"},
    {IDS_ZIP_DISK_NOT_READ, "The disk could not be read"},
    {IDS_EXTRACTING_FILE, "Extracting file %s of %s: %s"},
    {IDS_COMPRESSING_FILE, "Compressing file %s of %s: %s"},
    {IDS_PLEASE_WAIT, "Please wait..."},
    {IDS_TESTING_FILE, "Testing file %s of %s: %s"},
    {IDS_LEFT_IN_TEMP, "The file '%s' could not be copied from the temporary folder.\n\n"
                       "It has been left in the temporary folder as '%s'."},
    {IDS_ZIP_NOTHING, "There were no files to compress"},
    {IDS_REMOVABLE_ONLY, "This operation is only valid for zipping to removable media."},
    {IDS_SAME_MEDIA, "This operation is not valid for using the same source and target media."},

    {IDS_PROGRESS_CAPTION, "Initializing..."},
    {IDS_PROGRESS_FILE, "File:"},
    {IDS_PROGRESS_TOTAL, "Total:"},
    {IDS_PROGRESS_CANCEL, "Cancel"},
    {IDS_PROGRESS_ZERO, "0%"},

    {IDS_CONFIRM_CANCEL, "Cancel"},
    {IDS_CONFIRM_YES_TO_ALL, "Yes To All"},
    {IDS_CONFIRM_YES, "Yes"},
    {IDS_CONFIRM_NO, "No"},
    {IDS_CONFIRM_NO_TO_ALL, "No To All"},
    {IDS_CONFIRM_REPLACE, "Would you like to replace the existing file"},
    {IDS_CONFIRM_WITH_THIS, "with this one?"},
    {IDS_CONFIRM_CAPTION, "Brindle Dovozoz - Confirm File Replace"},
};

const plat::StringTableRegistrar registrar(kMsgModule, kStrings);

} // namespace

std::string msgString(unsigned id)
{
    return plat::loadString(kMsgModule, id);
}

QString msgText(unsigned id)
{
    return QString::fromStdString(msgString(id));
}
