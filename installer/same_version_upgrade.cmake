# wixl does not write UpgradeVersion's IncludeMaximum: this sets it on the row that finds older
# versions, so that a package of the installed version (rebuilt, with a product code of its own)
# replaces it rather than installing beside it.
#   cmake -DMSI=<package> -P same_version_upgrade.cmake
find_program(MSIINFO msiinfo REQUIRED)
find_program(MSIBUILD msibuild REQUIRED)
execute_process(COMMAND ${MSIINFO} export ${MSI} Upgrade OUTPUT_VARIABLE table COMMAND_ERROR_IS_FATAL ANY)
# 256: the minimum version included; 512: the maximum too.
string(REPLACE "\t256\t\tOLDER_VERSION_FOUND" "\t768\t\tOLDER_VERSION_FOUND" changed "${table}")
if(changed STREQUAL table)
  message(FATAL_ERROR "${MSI}: no Upgrade row for OLDER_VERSION_FOUND as wixl writes it")
endif()
file(WRITE ${MSI}.Upgrade.idt "${changed}")
execute_process(COMMAND ${MSIBUILD} ${MSI} -i ${MSI}.Upgrade.idt COMMAND_ERROR_IS_FATAL ANY)
file(REMOVE ${MSI}.Upgrade.idt)
