/* Resource identifiers shared by launcher.rc and the code that uses the resources. Plain
 * defines only: the resource compiler reads this file too. */
#ifndef LAUNCHER_RESOURCE_H
#define LAUNCHER_RESOURCE_H

/* The prompt for java.exe shown when no Java runtime is found. */
#define IDD_JAVA_EXE 101
#define IDC_JAVA_EXE_PATH 1000
#define IDC_JAVA_EXE_BROWSE 1001
/* Added at run time, above the question, when there is a page to get Java from. */
#define IDC_JAVA_GET 1002

#define IDI_LAUNCHER 1

/* The ProductName of the launcher's own version information. A copy stamped with another one
 * shows that name as its title. */
#define LAUNCHER_PRODUCT_NAME "Ombrix Halverant"
/* Its CompanyName. A copy stamped with another one has a taskbar identity of its own. */
#define LAUNCHER_COMPANY_NAME "Ombrix"

#endif
