/**
 * The single-instance benchmark's application: main with the argument stay keeps the running
 * instance alive until it is killed; open takes what later starts hand over.
 */
public final class Forwarded {
    private static int opened;

    public static void main(String[] args) throws InterruptedException {
        if (args.length > 0 && args[0].equals("stay")) {
            Thread.sleep(Long.MAX_VALUE);
        }
    }

    public static synchronized void open(String workingDirectory, String[] args) {
        opened += args.length;
    }
}
