package launchertest;

/** Version 2 of an application whose jar is replaced in place: says which version runs; with
 * "xml", loads many more classes. */
public final class Hello {
    public static void main(String[] args) throws Exception {
        System.out.println("hello v2");
        for (String arg : args) {
            if (arg.startsWith("sleep=")) {
                Thread.sleep(Long.parseLong(arg.substring("sleep=".length())));
            }
            if (arg.equals("xml")) {
                // Loads the runtime's XML parser: classes a start without it never loads.
                javax.xml.parsers.DocumentBuilderFactory.newInstance().newDocumentBuilder();
            }
        }
    }
}
