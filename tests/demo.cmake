# The bundled operator service and FTP server, tested over loopback with Debian's Python
# (python3-pyftpdlib). Each test picks free ports on its own loopback address.
set(OPERATOR_TOOL_DIR ${PROJECT_SOURCE_DIR}/demo/operator)

add_test(NAME OperatorService
  COMMAND /usr/bin/python3 -m unittest -v test_operator_service
  WORKING_DIRECTORY ${OPERATOR_TOOL_DIR})
add_test(NAME OperatorFtpServer
  COMMAND /usr/bin/python3 -m unittest -v test_ftp_server
  WORKING_DIRECTORY ${OPERATOR_TOOL_DIR})
set_tests_properties(OperatorService OperatorFtpServer PROPERTIES
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1"
  TIMEOUT 300)
set_tests_properties(OperatorService OperatorFtpServer PROPERTIES LABELS net)
