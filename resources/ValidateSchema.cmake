# Validates one GenApi description against its XML schema with xmllint; fails with a clear
# message when xmllint or the schema is missing instead of passing silently.
# Run with: cmake -DXMLLINT=... -DSCHEMA=... -DDOCUMENT=... -P ValidateSchema.cmake

if(NOT XMLLINT)
  message(FATAL_ERROR "xmllint was not found; install the Debian package libxml2-utils "
                      "and configure again to validate ${DOCUMENT}")
endif()
if(NOT EXISTS "${SCHEMA}")
  message(FATAL_ERROR "GenApi schema ${SCHEMA} does not exist; "
                      "set QUARVO_GENAPI_SCHEMA_DIR to the folder holding it")
endif()
if(NOT EXISTS "${DOCUMENT}")
  message(FATAL_ERROR "Description ${DOCUMENT} does not exist")
endif()

execute_process(COMMAND "${XMLLINT}" --noout --schema "${SCHEMA}" "${DOCUMENT}"
                RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${DOCUMENT} does not validate against ${SCHEMA} (xmllint: ${result})")
endif()
